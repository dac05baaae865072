#include "dialogs/elementdump.h"

#include <gtest/gtest.h>

#include <QDate>

using ravlen::dialogs::dumpElements;
using ravlen::toolkit::DataElement;
using ravlen::toolkit::DataItem;
using Kind = DataElement::Kind;

namespace {

DataElement single(quint16 group, quint16 element, const QString &description,
                   const QVariant &value) {
    DataElement e;
    e.group = group;
    e.element = element;
    e.description = description;
    e.kind = Kind::Single;
    if (value.isValid()) {
        e.values = {value};
    }
    return e;
}

DataElement array(quint16 group, quint16 element, const QString &description, int count) {
    DataElement e;
    e.group = group;
    e.element = element;
    e.description = description;
    e.kind = Kind::Array;
    for (int i = 0; i < count; ++i) {
        e.values.append(i);
    }
    return e;
}

DataElement sequence(quint16 group, quint16 element, const QString &description,
                     std::vector<DataItem> items) {
    DataElement e;
    e.group = group;
    e.element = element;
    e.description = description;
    e.kind = Kind::Sequence;
    e.items = std::move(items);
    return e;
}

QString column(const QString &description) {
    return description.leftJustified(30, QLatin1Char(' '), true) + QStringLiteral(": ");
}

TEST(ElementDump, LineShapeUsesDecimalTagsAndAThirtyCharacterColumn) {
    const QString d31 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"); // 31 characters
    const QString text = dumpElements(
        {single(0x0010, 0x0010, QStringLiteral("Patient Name"), QStringLiteral("Doe^John")),
         single(0x0028, 0x0010, QStringLiteral("Short"), 512),
         single(0x0008, 0x0020, d31, QString())},
        QString());
    EXPECT_EQ(text, QStringLiteral("(16,16) : Patient Name                  : Doe^John\r\n"
                                   "(40,16) : Short                         : 512\r\n"
                                   "(8,32) : ABCDEFGHIJKLMNOPQRSTUVWXYZ0123: \r\n"));
}

TEST(ElementDump, ValuesUseTheDefaultTextForm) {
    const QString text =
        dumpElements({single(0x0028, 0x1050, QStringLiteral("Window Center"), 40.5),
                      single(0x0008, 0x0020, QStringLiteral("Study Date"), QDate(2024, 1, 31))},
                     QStringLiteral(">"));
    EXPECT_EQ(text, QStringLiteral(">(40,4176) : ") + column(QStringLiteral("Window Center")) +
                        QStringLiteral("40.5\r\n>(8,32) : ") +
                        column(QStringLiteral("Study Date")) + QStringLiteral("2024-01-31\r\n"));
}

TEST(ElementDump, EveryElementOfGroup7FE0IsPixelData) {
    for (quint16 element : {0x0010, 0x0008, 0x0001}) {
        const QString text = dumpElements(
            {single(0x7FE0, element, QStringLiteral("Pixel Data"), QStringLiteral("never read"))},
            QString());
        EXPECT_EQ(text, QStringLiteral("(32736,%1) : ").arg(element) +
                            column(QStringLiteral("Pixel Data")) +
                            QStringLiteral("Pixel data\r\n"));
    }
}

TEST(ElementDump, ArraysUpToUpperBound32AreListedLongerOnesCounted) {
    struct Case {
        int count;
        QString values;
    };
    QStringList all;
    for (int i = 0; i < 33; ++i) {
        all.append(QString::number(i));
    }
    const Case cases[] = {
        {2, QStringLiteral("0 : 1")},
        {32, QStringList(all.mid(0, 32)).join(QStringLiteral(" : "))},
        {33, all.join(QStringLiteral(" : "))},        // upper bound 32: still listed
        {34, QStringLiteral("Array of 33 elements")}, // upper bound 33
    };
    for (const Case &c : cases) {
        const QString text =
            dumpElements({array(0x0028, 0x0030, QStringLiteral("Values"), c.count)}, QString());
        EXPECT_EQ(text, QStringLiteral("(40,48) : ") + column(QStringLiteral("Values")) +
                            QStringLiteral("Multiple values :\r\n              ") + c.values +
                            QStringLiteral("\r\n"))
            << c.count << " values";
    }
}

TEST(ElementDump, NestedSequencesGrowThePrefix) {
    const DataItem inner = {
        single(0x0008, 0x0100, QStringLiteral("Code Value"), QStringLiteral("T-D"))};
    const DataItem outer = {
        single(0x0008, 0x1150, QStringLiteral("Referenced SOP Class UID"), QStringLiteral("1.2")),
        sequence(0x0008, 0x2218, QStringLiteral("Anatomic Region Sequence"), {inner})};
    const QString text = dumpElements(
        {sequence(0x0008, 0x1140, QStringLiteral("Referenced Image Sequence"), {outer, {}}),
         single(0x0010, 0x0020, QStringLiteral("Patient ID"), QStringLiteral("P1"))},
        QString());
    const QString expected = QStringLiteral("(8,4416) : ") +
                             column(QStringLiteral("Referenced Image Sequence")) +
                             QStringLiteral("Sequence of 2 items:\r\n"
                                            ">---------------\r\n"
                                            ">(8,4432) : ") +
                             column(QStringLiteral("Referenced SOP Class UID")) +
                             QStringLiteral("1.2\r\n"
                                            ">(8,8728) : ") +
                             column(QStringLiteral("Anatomic Region Sequence")) +
                             QStringLiteral("Sequence of 1 items:\r\n"
                                            ">>---------------\r\n"
                                            ">>(8,256) : ") +
                             column(QStringLiteral("Code Value")) +
                             QStringLiteral("T-D\r\n"
                                            ">>---------------\r\n"
                                            ">---------------\r\n"
                                            ">---------------\r\n"
                                            "(16,32) : ") +
                             column(QStringLiteral("Patient ID")) + QStringLiteral("P1\r\n");
    EXPECT_EQ(text, expected);
}

TEST(ElementDump, EmptySequenceGivesHeaderAndClosingSeparator) {
    const QString text =
        dumpElements({sequence(0x0040, 0x0275, QStringLiteral("Request Attributes Sequence"), {})},
                     QStringLiteral(">"));
    EXPECT_EQ(text, QStringLiteral(">(64,629) : ") +
                        column(QStringLiteral("Request Attributes Sequence")) +
                        QStringLiteral("Sequence of 0 items:\r\n>>---------------\r\n"));
}

TEST(ElementDump, AppendsToTheGivenText) {
    QString text = QStringLiteral("before\r\n");
    dumpElements(text, {single(0x0010, 0x0040, QStringLiteral("Sex"), QStringLiteral("F"))},
                 QString());
    EXPECT_TRUE(text.startsWith(QStringLiteral("before\r\n(16,64) : Sex ")));
    EXPECT_TRUE(dumpElements({}, QString()).isEmpty());
}

} // namespace
