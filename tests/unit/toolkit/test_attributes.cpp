#include "core/errors.h"
#include "support/dicomtestdata.h"
#include "toolkit/datasetbuilder.h"
#include "toolkit/image.h"

#include <gtest/gtest.h>

#include <QDate>

using namespace ravlen;
using namespace ravlen::toolkit;
using namespace ravlen::testdata;

namespace {

std::shared_ptr<Image> load(const DataSetBuilder &b,
                            TransferSyntax syntax = TransferSyntax::ExplicitLittle) {
    return Image::fromBytes(b.toBytes(syntax), QStringLiteral("attributes.dcm"));
}

const DataElement *find(const std::vector<DataElement> &list, quint16 g, quint16 e) {
    for (const DataElement &d : list) {
        if (d.group == g && d.element == e) {
            return &d;
        }
    }
    return nullptr;
}

DataSetBuilder richDataSet() {
    DataSetBuilder b =
        baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.2"), QStringLiteral("1.2.3.99"));
    b.set(0x0010, 0x0010, QStringLiteral("Doe^John^A^Dr^Jr"));
    b.set(0x0008, 0x0020, QStringLiteral("20240131"));
    b.set(0x0008, 0x0030, QStringLiteral("101500.25"));
    b.set(0x0008, 0x0060, QStringLiteral("CT"));
    b.set(0x0020, 0x0010, QStringLiteral("4711"));
    b.set(0x0020, 0x0011, QStringLiteral("2"));
    b.set(0x0020, 0x0013, QStringLiteral("17"));
    b.set(0x0018, 0x0050, QStringLiteral("1.25"));
    b.set(0x0028, 0x0030, QStringLiteral("0.5\\0.75"));
    b.set(0x0008, 0x0008, QStringLiteral("ORIGINAL\\PRIMARY\\AXIAL"));
    b.set(0x0028, 0x0009, QStringLiteral("(0018,1063)"));
    b.setBytes(0x0009, 0x0010, QStringLiteral("LO"), QByteArray("RAVLEN TEST"));
    b.setBytes(0x0009, 0x1001, QStringLiteral("OB"), QByteArray(10, '\x01'));
    DataSetBuilder item;
    item.set(0x0008, 0x1150, QStringLiteral("1.2.840.10008.5.1.4.1.1.2"));
    item.set(0x0008, 0x1155, QStringLiteral("1.2.3.98"));
    b.addItem(0x0008, 0x1140, item);
    b.addItem(0x0008, 0x1140, item);
    b.setPixels(monochrome(2, 3, 1, 16, 12, false, {1, 2, 3, 4, 5, 6}));
    return b;
}

TEST(Attributes, DefaultValuesFollowTheVr) {
    const auto image = load(richDataSet());
    EXPECT_EQ(image->attribute(0x0010, 0x0010), QVariant(QStringLiteral("Doe^John^A^Dr^Jr")));
    EXPECT_EQ(image->attribute(0x0008, 0x0020), QVariant(QDate(2024, 1, 31)));
    EXPECT_EQ(image->attribute(0x0008, 0x0030), QVariant(QStringLiteral("101500.25")));
    EXPECT_EQ(image->attribute(0x0018, 0x0050).typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(image->attribute(0x0018, 0x0050).toDouble(), 1.25);
    EXPECT_EQ(image->attribute(0x0020, 0x0013), QVariant(17));
    EXPECT_EQ(image->attribute(0x0028, 0x0010), QVariant(2)); // US
    EXPECT_EQ(image->attribute(0x0028, 0x0030), QVariant(QVariantList{0.5, 0.75}));
    EXPECT_EQ(image->attribute(0x0008, 0x0008),
              QVariant(QVariantList{QStringLiteral("ORIGINAL"), QStringLiteral("PRIMARY"),
                                    QStringLiteral("AXIAL")}));
    EXPECT_EQ(image->attribute(0x0028, 0x0009), QVariant(QStringLiteral("(0018,1063)")));
    EXPECT_EQ(image->attribute(0x0009, 0x1001), QVariant(QStringLiteral("(binary, 10 bytes)")));
    EXPECT_FALSE(image->attribute(0x0010, 0x1010).isValid()); // absent
    EXPECT_TRUE(image->hasAttribute(0x0020, 0x0010));
    EXPECT_FALSE(image->hasAttribute(0x0010, 0x1010));
    EXPECT_EQ(valueText(image->attribute(0x0010, 0x1010)), QString());
}

TEST(Attributes, SequenceIsAListOfItemsWithTheirOwnElements) {
    const auto image = load(richDataSet());
    const QVariantList items = image->attribute(0x0008, 0x1140).toList();
    ASSERT_EQ(items.size(), 2);
    const DataItem item = items.at(1).value<DataItem>();
    ASSERT_EQ(item.size(), 2u);
    EXPECT_EQ(item[1].group, 0x0008);
    EXPECT_EQ(item[1].element, 0x1155);
    EXPECT_EQ(item[1].value(), QVariant(QStringLiteral("1.2.3.98")));
}

TEST(Attributes, ConveniencesReadTheImage) {
    const auto image = load(richDataSet());
    EXPECT_EQ(image->patientName(), QStringLiteral("Doe, Dr John A Jr"));
    EXPECT_EQ(image->instanceUID(), QStringLiteral("1.2.3.99"));
    EXPECT_EQ(image->studyID(), QStringLiteral("4711"));
    EXPECT_EQ(image->seriesNumber(), QStringLiteral("2"));
    EXPECT_EQ(image->modality(), QStringLiteral("CT"));
    EXPECT_EQ(image->rows(), 2);
    EXPECT_EQ(image->columns(), 3);
    EXPECT_EQ(image->frameCount(), 1);
    EXPECT_EQ(image->bitsStored(), 12);
    EXPECT_FALSE(image->isSigned());
}

TEST(Attributes, PatientNameForms) {
    struct Case {
        const char *dicom;
        const char *shown;
    };
    for (const Case &c :
         {Case{"Doe^John", "Doe, John"}, Case{"Doe", "Doe"}, Case{"^John", "John"},
          Case{"Doe^^^^", "Doe"}, Case{"=Yamada^Tarou", "Yamada, Tarou"}, Case{"", ""}}) {
        DataSetBuilder b = baseDataSet();
        b.set(0x0010, 0x0010, QString::fromLatin1(c.dicom));
        EXPECT_EQ(load(b)->patientName(), QString::fromLatin1(c.shown)) << c.dicom;
    }
}

TEST(Attributes, ElementListHoldsEveryElementInOrder) {
    const auto image = load(richDataSet(), TransferSyntax::ImplicitLittle);
    const std::vector<DataElement> list = image->elements();
    for (std::size_t i = 1; i < list.size(); ++i) {
        EXPECT_LT((list[i - 1].group << 16) | list[i - 1].element,
                  (list[i].group << 16) | list[i].element);
    }
    const DataElement *name = find(list, 0x0010, 0x0010);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->description, QStringLiteral("Patient Name"));
    EXPECT_EQ(name->vr, QStringLiteral("PN"));
    EXPECT_EQ(name->kind, DataElement::Kind::Single);

    EXPECT_EQ(find(list, 0x0008, 0x0018)->description, QStringLiteral("SOP Instance UID"));
    const DataElement *spacing = find(list, 0x0028, 0x0030);
    EXPECT_EQ(spacing->kind, DataElement::Kind::Array);
    EXPECT_EQ(spacing->upperBound(), 1);
    const DataElement *sequence = find(list, 0x0008, 0x1140);
    EXPECT_EQ(sequence->vr, QStringLiteral("SQ"));
    EXPECT_EQ(sequence->kind, DataElement::Kind::Sequence);
    EXPECT_EQ(sequence->items.size(), 2u);
    const DataElement *pixels = find(list, 0x7FE0, 0x0010);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels->value(), QVariant(QStringLiteral("(binary, 12 bytes)")));
    EXPECT_EQ(find(list, 0x0002, 0x0010), nullptr); // the meta header is not listed
    // an empty value is a single value without content
    DataSetBuilder b = baseDataSet();
    b.set(0x0010, 0x0030, QString());
    const std::vector<DataElement> withEmpty = load(b)->elements();
    const DataElement *birth = find(withEmpty, 0x0010, 0x0030);
    ASSERT_NE(birth, nullptr);
    EXPECT_TRUE(birth->values.isEmpty());
}

// --- character sets

TEST(CharacterSets, DeclaredSetsReadAsUnicode) {
    struct Case {
        const char *terms;
        QString name;
        QByteArray bytes; // how the name must be stored
    };
    const Case cases[] = {
        {"ISO_IR 100", QStringLiteral(u"Müller^Renée"),
         QByteArray("M\xfcller^Ren\xe9"
                    "e")},
        {"ISO_IR 192", QStringLiteral(u"Ærøskøbing^Ωmega"),
         QStringLiteral(u"Ærøskøbing^Ωmega").toUtf8()},
        {"ISO_IR 144", QStringLiteral(u"Иванов^Пётр"),
         QByteArray("\xb8\xd2\xd0\xdd\xde\xd2^\xbf\xf1\xe2\xe0")},
    };
    for (const Case &c : cases) {
        DataSetBuilder b = baseDataSet();
        b.setCharacterSet(QString::fromLatin1(c.terms));
        b.set(0x0010, 0x0010, c.name);
        const QByteArray file = b.toBytes(TransferSyntax::ExplicitLittle);
        EXPECT_TRUE(file.contains(c.bytes)) << c.terms;
        const auto image = Image::fromBytes(file, QStringLiteral("cs.dcm"));
        EXPECT_EQ(image->attribute(0x0010, 0x0010).toString(), c.name) << c.terms;
    }
}

TEST(CharacterSets, Iso2022JapaneseSwitchesByEscapeSequences) {
    DataSetBuilder b = baseDataSet();
    b.setCharacterSet(QStringLiteral("\\ISO 2022 IR 87"));
    b.setBytes(0x0010, 0x0010, QStringLiteral("PN"),
               QByteArray("Yamada^Tarou=\x1b$B;3ED\x1b(B^\x1b$BB@O:\x1b(B="
                          "\x1b$B$d$^$@\x1b(B^\x1b$B$?$m$&\x1b(B"));
    const auto image = load(b);
    EXPECT_EQ(image->attribute(0x0010, 0x0010).toString(),
              QStringLiteral(u"Yamada^Tarou=山田^太郎=やまだ^たろう"));
    EXPECT_EQ(image->patientName(), QStringLiteral("Yamada, Tarou"));
}

TEST(CharacterSets, UnconvertibleBytesBecomeReplacementCharacters) {
    struct Case {
        const char *terms;
        QByteArray bytes;
        QString expected;
    };
    const Case cases[] = {
        {"ISO_IR 192",
         QByteArray("Bad\xff"
                    "Byte"),
         QStringLiteral(u"Bad\uFFFDByte")},
        // a broken two-byte sequence inside a Japanese escape: the rest stays readable
        {"\\ISO 2022 IR 87", QByteArray("Abc^\x1b$B;\x1b(BDef"), QString()},
        // no declared set: 8-bit text is taken as Latin-1
        {"", QByteArray("Caf\xe9"), QStringLiteral(u"Café")},
    };
    for (const Case &c : cases) {
        DataSetBuilder b = baseDataSet();
        if (*c.terms) {
            b.setCharacterSet(QString::fromLatin1(c.terms));
        }
        b.setBytes(0x0010, 0x0010, QStringLiteral("PN"), c.bytes);
        const QString got = load(b)->attribute(0x0010, 0x0010).toString();
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(got.startsWith(QStringLiteral("Abc^"))) << got.toStdString();
            EXPECT_TRUE(got.endsWith(QStringLiteral("Def"))) << got.toStdString();
            EXPECT_TRUE(got.contains(QChar(0xFFFD))) << got.toStdString();
        } else {
            EXPECT_EQ(got, c.expected) << c.terms;
        }
    }
}

TEST(CharacterSets, ItemsMayDeclareTheirOwnSet) {
    DataSetBuilder b = baseDataSet();
    b.setCharacterSet(QStringLiteral("ISO_IR 100"));
    b.set(0x0008, 0x1030, QStringLiteral(u"Thorax ärztlich"));
    DataSetBuilder item;
    item.setCharacterSet(QStringLiteral("ISO_IR 144"));
    item.set(0x0008, 0x0104, QStringLiteral(u"Грудь"));
    b.addItem(0x0008, 0x1032, item);
    const auto image = load(b);
    EXPECT_EQ(image->attribute(0x0008, 0x1030).toString(), QStringLiteral(u"Thorax ärztlich"));
    const DataItem inner = image->attribute(0x0008, 0x1032).toList().at(0).value<DataItem>();
    const DataElement *meaning = find(inner, 0x0008, 0x0104);
    ASSERT_NE(meaning, nullptr);
    EXPECT_EQ(meaning->value().toString(), QStringLiteral(u"Грудь"));
}

TEST(CharacterSets, TextWithoutADeclaredSetIsWrittenAsUtf8) {
    DataSetBuilder b = baseDataSet();
    b.set(0x0010, 0x0010, QStringLiteral(u"Łukasz^Żółw"));
    const auto image = load(b);
    EXPECT_EQ(image->attribute(0x0008, 0x0005).toString(), QStringLiteral("ISO_IR 192"));
    EXPECT_EQ(image->patientName(), QStringLiteral(u"Łukasz, Żółw"));
}

TEST(CharacterSets, TextTheDeclaredSetCannotHoldIsRefused) {
    DataSetBuilder b = baseDataSet();
    b.setCharacterSet(QStringLiteral("ISO_IR 100"));
    EXPECT_THROW(b.set(0x0010, 0x0010, QStringLiteral(u"Иванов")), ToolkitError);
}

} // namespace
