#include "samplestudy.h"
#include "toolkit/image.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace ravlen;
using namespace ravlen::toolkit;

namespace {

tools::SampleStudyOptions smallStudy(const QString &dir, TransferSyntax syntax) {
    tools::SampleStudyOptions o;
    o.outDir = dir;
    o.slices = 3;
    o.size = 64;
    o.syntax = syntax;
    o.seed = 7;
    return o;
}

std::shared_ptr<Image> open(const QString &dir, const QString &name) {
    return Image::fromFile(QDir(dir).filePath(name));
}

// Stored value at (x, y) of a 16-bit monochrome frame, in modality units.
double modalityValue(const Image &image, int x, int y) {
    const PixelFrame f = image.frame(1);
    const auto *p = reinterpret_cast<const std::int16_t *>(f.data->data());
    const ModalityTransform m = image.modalityTransform();
    return p[y * f.columns + x] * m.slope + m.intercept;
}

TEST(SampleStudy, WritesOneConsistentStudy) {
    QTemporaryDir dir;
    const QStringList files =
        tools::writeSampleStudy(smallStudy(dir.path(), TransferSyntax::ExplicitLittle));
    QStringList names;
    for (const QString &f : files) {
        names.append(QFileInfo(f).fileName());
    }
    EXPECT_EQ(names, (QStringList{"SCOUT.dcm", "CT0001.dcm", "CT0002.dcm", "CT0003.dcm", "US.dcm",
                                  "NM.dcm", "CR.dcm", "RGB.dcm"}));
    const auto ct = open(dir.path(), "CT0002.dcm");
    const auto scout = open(dir.path(), "SCOUT.dcm");
    const QString study = ct->attribute(0x0020, 0x000D).toString();
    QStringList instances;
    for (const QString &name : names) {
        const auto image = open(dir.path(), name);
        EXPECT_EQ(image->attribute(0x0020, 0x000D).toString(), study) << name.toStdString();
        EXPECT_EQ(image->patientName(), QStringLiteral("Sample, Thomas"));
        EXPECT_FALSE(instances.contains(image->instanceUID()));
        instances.append(image->instanceUID());
        EXPECT_LE(image->instanceUID().size(), 64);
    }
    EXPECT_EQ(scout->attribute(0x0020, 0x0052), ct->attribute(0x0020, 0x0052));
    EXPECT_NE(scout->attribute(0x0020, 0x000E), ct->attribute(0x0020, 0x000E));

    // the pieces a viewer relies on
    EXPECT_EQ(ct->rows(), 64);
    EXPECT_TRUE(ct->isSigned());
    EXPECT_EQ(ct->attribute(0x0028, 0x1052), QVariant(-1024.0));
    EXPECT_EQ(ct->defaultWindow().center, 40.0);
    EXPECT_EQ(ct->defaultWindow().width, 400.0);
    EXPECT_EQ(ct->attribute(0x0020, 0x0013), QVariant(2));
    EXPECT_EQ(open(dir.path(), "US.dcm")->frameCount(), 10);
    EXPECT_EQ(open(dir.path(), "NM.dcm")->bitsStored(), 16);
    EXPECT_EQ(open(dir.path(), "CR.dcm")->photometricInterpretation(),
              QStringLiteral("MONOCHROME1"));
    EXPECT_EQ(open(dir.path(), "RGB.dcm")->frame(1).sample, PixelFrame::Sample::Rgb8);

    // air outside the body, lung, and the bone of the spine
    EXPECT_NEAR(modalityValue(*ct, 1, 1), -1000.0, 60.0);
    EXPECT_NEAR(modalityValue(*ct, 32 + 12, 32 - 1), -820.0, 80.0);
    EXPECT_GT(modalityValue(*ct, 31, 41), 200.0);
}

TEST(SampleStudy, SameOptionsGiveTheSameBytes) {
    QTemporaryDir a, b;
    const QStringList first = tools::writeSampleStudy(smallStudy(a.path(), TransferSyntax::Rle));
    const QStringList second = tools::writeSampleStudy(smallStudy(b.path(), TransferSyntax::Rle));
    ASSERT_EQ(first.size(), second.size());
    for (qsizetype i = 0; i < first.size(); ++i) {
        QFile fa(first[i]), fb(second[i]);
        ASSERT_TRUE(fa.open(QIODevice::ReadOnly) && fb.open(QIODevice::ReadOnly));
        EXPECT_TRUE(fa.readAll() == fb.readAll()) << first[i].toStdString();
    }
    EXPECT_NE(tools::sampleUid(1, "study"), tools::sampleUid(2, "study"));
}

TEST(SampleStudy, EverySyntaxDecodes) {
    for (const QString &name : transferSyntaxNames()) {
        QTemporaryDir dir;
        const TransferSyntax syntax = *transferSyntaxFromName(name);
        for (const QString &file : tools::writeSampleStudy(smallStudy(dir.path(), syntax))) {
            const auto image = Image::fromFile(file);
            EXPECT_EQ(image->transferSyntaxUid(), transferSyntaxUid(syntax)) << file.toStdString();
            for (int f = 1; f <= image->frameCount(); ++f) {
                EXPECT_NO_THROW(image->frame(f)) << name.toStdString() << " " << file.toStdString();
            }
        }
    }
}

} // namespace
