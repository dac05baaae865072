#include "core/prompter.h"

#include <cstdio>

namespace ravlen {

QString defaultPromptTitle() {
    return QStringLiteral("RAVLEN PACS Viewer");
}

QString qtFilterFromBar(const QString &barFilter) {
    const QStringList parts = barFilter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << parts.at(i) + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

int Prompter::detailedMessage(const QString &text, const QString &detail, Icon icon, int buttons,
                              const QString &title, QWidget *parent) {
    return message(detail.isEmpty() ? text : text + QLatin1Char('\n') + detail, icon, buttons,
                   title, parent);
}

QColor Prompter::chooseColour(const QColor &initial, QWidget *) {
    return initial;
}

QFont Prompter::chooseFont(const QFont &initial, QWidget *) {
    return initial;
}

int ScriptedPrompter::message(const QString &text, Icon icon, int buttons, const QString &title,
                              QWidget *) {
    records.push_back({Record::Message, text, title, icon, buttons, QString(), QString()});
    if (!buttonAnswers.empty()) {
        const int answer = buttonAnswers.front();
        buttonAnswers.pop_front();
        return answer;
    }
    for (int b : {Ok, Yes, No, Cancel}) {
        if (buttons & b) {
            return b;
        }
    }
    return Ok;
}

QString ScriptedPrompter::input(const QString &prompt, const QString &title,
                                const QString &defaultText, QWidget *) {
    records.push_back({Record::Input, prompt, title, Icon::None, 0, QString(), QString()});
    if (!inputAnswers.empty()) {
        QString answer = inputAnswers.front();
        inputAnswers.pop_front();
        return answer;
    }
    return defaultText;
}

QStringList ScriptedPrompter::openFiles(const QString &title, const QString &filter, bool,
                                        const QString &, QWidget *) {
    records.push_back({Record::Open, title, title, Icon::None, 0, QString(), filter});
    if (fileAnswers.empty()) {
        return {};
    }
    QStringList answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

QString ScriptedPrompter::saveFile(const QString &title, const QString &filter, const QString &,
                                   QWidget *) {
    records.push_back({Record::Save, title, title, Icon::None, 0, QString(), filter});
    if (fileAnswers.empty()) {
        return {};
    }
    QStringList answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer.value(0);
}

int ScriptedPrompter::detailedMessage(const QString &text, const QString &detail, Icon icon,
                                      int buttons, const QString &title, QWidget *parent) {
    const int answer = message(text, icon, buttons, title, parent);
    records.back().detail = detail;
    return answer;
}

QColor ScriptedPrompter::chooseColour(const QColor &initial, QWidget *) {
    records.push_back(
        {Record::Colour, initial.name(), QString(), Icon::None, 0, QString(), QString()});
    if (colourAnswers.empty()) {
        return initial;
    }
    const QColor answer = colourAnswers.front();
    colourAnswers.pop_front();
    return answer;
}

QFont ScriptedPrompter::chooseFont(const QFont &initial, QWidget *) {
    records.push_back(
        {Record::Font, initial.family(), QString(), Icon::None, 0, QString(), QString()});
    if (fontAnswers.empty()) {
        return initial;
    }
    const QFont answer = fontAnswers.front();
    fontAnswers.pop_front();
    return answer;
}

QStringList ScriptedPrompter::messages() const {
    QStringList out;
    for (const Record &r : records) {
        if (r.kind == Record::Message) {
            out << r.text;
        }
    }
    return out;
}

namespace {

class StderrPrompter : public Prompter {
public:
    explicit StderrPrompter(std::function<void(const QString &)> write)
        : m_write(std::move(write)) {}
    int message(const QString &text, Icon, int buttons, const QString &, QWidget *) override {
        if (m_write) {
            m_write(text);
        } else {
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        }
        return (buttons & Ok) ? Ok : (buttons & Yes) ? Yes : (buttons & No) ? No : Cancel;
    }
    QString input(const QString &, const QString &, const QString &defaultText,
                  QWidget *) override {
        return defaultText;
    }
    QStringList openFiles(const QString &, const QString &, bool, const QString &,
                          QWidget *) override {
        return {};
    }
    QString saveFile(const QString &, const QString &, const QString &, QWidget *) override {
        return {};
    }

private:
    std::function<void(const QString &)> m_write;
};

std::unique_ptr<Prompter> (*&factory())() {
    static std::unique_ptr<Prompter> (*f)() = nullptr;
    return f;
}

std::unique_ptr<Prompter> &globalPrompter() {
    static std::unique_ptr<Prompter> p;
    return p;
}

} // namespace

std::unique_ptr<Prompter> makeStderrPrompter(std::function<void(const QString &)> write) {
    return std::make_unique<StderrPrompter>(std::move(write));
}

Prompter &prompter() {
    auto &p = globalPrompter();
    if (!p) {
        // Without a ui library (command-line use) messages go to the terminal.
        p = factory() ? factory()() : makeStderrPrompter();
    }
    return *p;
}

void setPrompter(std::unique_ptr<Prompter> p) {
    globalPrompter() = std::move(p);
}

void setDefaultPrompterFactory(std::unique_ptr<Prompter> (*f)()) {
    factory() = f;
}

} // namespace ravlen
