#include "core/qtprompter.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace ravlen {

namespace {
QString titleOr(const QString &title) {
    return title.isEmpty() ? defaultPromptTitle() : title;
}
} // namespace

int QtPrompter::message(const QString &text, Icon icon, int buttons, const QString &title,
                        QWidget *parent) {
    return show(text, QString(), icon, buttons, title, parent);
}

int QtPrompter::detailedMessage(const QString &text, const QString &detail, Icon icon, int buttons,
                                const QString &title, QWidget *parent) {
    return show(text, detail, icon, buttons, title, parent);
}

QColor QtPrompter::chooseColour(const QColor &initial, QWidget *parent) {
    const QColor chosen = QColorDialog::getColor(initial, parent);
    return chosen.isValid() ? chosen : initial;
}

QFont QtPrompter::chooseFont(const QFont &initial, QWidget *parent) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent);
    return ok ? chosen : initial;
}

int QtPrompter::show(const QString &text, const QString &detail, Icon icon, int buttons,
                     const QString &title, QWidget *parent) {
    QMessageBox box(parent);
    box.setWindowTitle(titleOr(title));
    box.setTextFormat(Qt::PlainText); // texts may carry values from DICOM data
    box.setText(text);
    if (!detail.isEmpty()) {
        box.setDetailedText(detail);
    }
    switch (icon) {
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::None:
        break;
    }
    QMessageBox::StandardButtons std;
    if (buttons & Ok)
        std |= QMessageBox::Ok;
    if (buttons & Cancel)
        std |= QMessageBox::Cancel;
    if (buttons & Yes)
        std |= QMessageBox::Yes;
    if (buttons & No)
        std |= QMessageBox::No;
    box.setStandardButtons(std ? std : QMessageBox::Ok);
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return Cancel;
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    default:
        return Ok;
    }
}

QString QtPrompter::input(const QString &prompt, const QString &title, const QString &defaultText,
                          QWidget *parent) {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent, titleOr(title), prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? answer : QString();
}

QStringList QtPrompter::openFiles(const QString &title, const QString &filter, bool many,
                                  const QString &startPath, QWidget *parent) {
    const QString start = startPath.isEmpty() ? QDir::homePath() : startPath;
    if (many) {
        return QFileDialog::getOpenFileNames(parent, title, start, qtFilterFromBar(filter));
    }
    const QString one = QFileDialog::getOpenFileName(parent, title, start, qtFilterFromBar(filter));
    return one.isEmpty() ? QStringList() : QStringList{one};
}

QString QtPrompter::saveFile(const QString &title, const QString &filter, const QString &startPath,
                             QWidget *parent) {
    const QString start = startPath.isEmpty() ? QDir::homePath() : startPath;
    return QFileDialog::getSaveFileName(parent, title, start, qtFilterFromBar(filter));
}

void installQtPrompter() {
    setDefaultPrompterFactory(
        []() -> std::unique_ptr<Prompter> { return std::make_unique<QtPrompter>(); });
}

} // namespace ravlen
