#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace ravlen {

// Every message box, input box and file dialog goes through this seam, so tests answer them
// from a script and never block on a modal window.
class Prompter {
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum Button { Ok = 1, Cancel = 2, Yes = 4, No = 8 };

    virtual ~Prompter() = default;
    // Shows a message; returns the button pressed (one of `buttons`).
    virtual int message(const QString &text, Icon icon = Icon::None, int buttons = Ok,
                        const QString &title = QString(), QWidget *parent = nullptr) = 0;
    // Asks for a text; an empty result means Cancel or an empty answer, as input boxes do.
    virtual QString input(const QString &prompt, const QString &title = QString(),
                          const QString &defaultText = QString(), QWidget *parent = nullptr) = 0;
    // File dialogs; `filter` in the "desc|pattern|desc|pattern" form. Empty result: cancelled.
    virtual QStringList openFiles(const QString &title, const QString &filter, bool many,
                                  const QString &startPath = QString(),
                                  QWidget *parent = nullptr) = 0;
    virtual QString saveFile(const QString &title, const QString &filter,
                             const QString &startPath = QString(), QWidget *parent = nullptr) = 0;
    // A message whose box also offers `detail` (an explanation, shown on request); the text
    // itself stays exactly as given. Without a detail pane the detail follows the text.
    virtual int detailedMessage(const QString &text, const QString &detail, Icon icon = Icon::None,
                                int buttons = Ok, const QString &title = QString(),
                                QWidget *parent = nullptr);
    // The colour chooser, starting from `initial`; cancelling gives `initial` back.
    virtual QColor chooseColour(const QColor &initial, QWidget *parent = nullptr);
    // The font chooser, starting from `initial`; cancelling gives `initial` back.
    virtual QFont chooseFont(const QFont &initial, QWidget *parent = nullptr);
};

// The application's default title for messages.
QString defaultPromptTitle();

// Turns "Text files (*.txt)|*.txt|All|*.*" into Qt's "Text files (*.txt) (*.txt);;All (*.*)".
QString qtFilterFromBar(const QString &barFilter);

// A scripted prompter for tests: records every prompt and answers from queues.
class ScriptedPrompter : public Prompter {
public:
    struct Record {
        enum Kind { Message, Input, Open, Save, Colour, Font } kind;
        QString text;
        QString title;
        Icon icon = Icon::None;
        int buttons = 0;
        QString detail;
        QString filter; // of a file dialog
    };
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

    std::deque<int> buttonAnswers;       // default: the first button offered
    std::deque<QColor> colourAnswers;    // default: cancelled
    std::deque<QFont> fontAnswers;       // default: cancelled
    std::deque<QString> inputAnswers;    // default: the default text
    std::deque<QStringList> fileAnswers; // default: cancelled
    std::vector<Record> records;
    QStringList messages() const; // the texts of the message records, in order
};

// A prompter for use without windows: messages go to `write` (by default a line on stderr) and
// questions take their defaults, so nothing waits for an answer nobody can give.
std::unique_ptr<Prompter> makeStderrPrompter(std::function<void(const QString &)> write = {});

// The process-wide prompter; the Qt one unless a test installed another.
Prompter &prompter();
void setPrompter(std::unique_ptr<Prompter> p);
// Installed by the ui library at start-up so the core does not depend on widgets.
void setDefaultPrompterFactory(std::unique_ptr<Prompter> (*factory)());

} // namespace ravlen
