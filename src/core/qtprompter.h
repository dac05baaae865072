#pragma once

#include "core/prompter.h"

namespace ravlen {

// The prompter people see: message boxes, input boxes and file dialogs of Qt.
class QtPrompter : public Prompter {
public:
    int message(const QString &text, Icon icon, int buttons, const QString &title,
                QWidget *parent) override;
    QString input(const QString &prompt, const QString &title, const QString &defaultText,
                  QWidget *parent) override;
    QStringList openFiles(const QString &title, const QString &filter, bool many,
                          const QString &startPath, QWidget *parent) override;
    QString saveFile(const QString &title, const QString &filter, const QString &startPath,
                     QWidget *parent) override;
    int detailedMessage(const QString &text, const QString &detail, Icon icon, int buttons,
                        const QString &title, QWidget *parent) override;
    QColor chooseColour(const QColor &initial, QWidget *parent) override;
    QFont chooseFont(const QFont &initial, QWidget *parent) override;

private:
    int show(const QString &text, const QString &detail, Icon icon, int buttons,
             const QString &title, QWidget *parent);
};

// Makes QtPrompter the default for this process (until a test installs another).
void installQtPrompter();

} // namespace ravlen
