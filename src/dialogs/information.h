#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QGroupBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace ravlen::toolkit {
class Image;
}

namespace ravlen {

// The "Information" window: the data elements of the viewer's selected image, the list of its
// images, and the network logs the viewer appends to. One per process, never destroyed: closing
// or losing activation only hides it, and the logs grow for the life of the process.
class Information : public QWidget {
    Q_OBJECT
public:
    explicit Information(QWidget *parent = nullptr);

    // Refills "Image Attributes" and "Image List" from the viewer's images; `selected` gives the
    // image whose elements are shown and is asked only when there is at least one image.
    void NewData(const std::vector<std::shared_ptr<toolkit::Image>> &images,
                 const std::function<std::shared_ptr<toolkit::Image>()> &selected);

    // "&Close".
    void Hide_Click();
    // The window is left for another one: it gets out of the way.
    void Form_Deactivate();

    // Shows the end of the toolkit's own log file in "Log"; runs whenever that page is opened.
    void refreshToolkitLog();

    // The log lists: each append adds `text` at the end, CR LF line breaks kept as given.
    void appendAssociations(const QString &text);
    void appendMessages(const QString &text);
    void appendImagesReceived(const QString &text);
    // The texts as built (CR LF line breaks), not as the fields show them.
    QString attributesText() const { return m_attributes; }
    QString associationsText() const { return m_associations; }
    QString messagesText() const { return m_messages; }
    QString imagesReceivedText() const { return m_imagesReceived; }

    QTabWidget *SSTab1 = nullptr;
    QGroupBox *fraAttributes = nullptr;
    QPlainTextEdit *AttributeList = nullptr;
    QListWidget *ImageList = nullptr;
    QPlainTextEdit *AssociationList = nullptr;
    QPlainTextEdit *MessageList = nullptr;
    QPlainTextEdit *ImagesReceived = nullptr;
    QPlainTextEdit *DicomLog1 = nullptr;
    QPushButton *Hide = nullptr;

signals:
    // The window was hidden, by "&Close", the window's close button or losing activation.
    void hidden();

protected:
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    static void append(QPlainTextEdit *field, QString &text, const QString &addition);

    QString m_attributes;
    QString m_associations;
    QString m_messages;
    QString m_imagesReceived;
};

// The window of the process, created hidden on first use.
Information &information();

} // namespace ravlen
