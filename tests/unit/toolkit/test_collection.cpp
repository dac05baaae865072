#include "core/errors.h"
#include "support/dicomtestdata.h"
#include "toolkit/globalsettings.h"
#include "toolkit/imagecollection.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace ravlen;
using namespace ravlen::toolkit;
using namespace ravlen::testdata;

namespace {

std::shared_ptr<Image> imageWithUid(const QString &uid) {
    DataSetBuilder b = baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.7"), uid);
    return Image::fromBytes(b.toBytes(TransferSyntax::ExplicitLittle), uid);
}

QStringList uids(const ImageCollection &c) {
    QStringList out;
    for (int i = 1; i <= c.count(); ++i) {
        out.append(c.item(i)->instanceUID());
    }
    return out;
}

TEST(ImageCollection, AddRemoveAndClearKeepPositionsFromOne) {
    ImageCollection c;
    EXPECT_EQ(c.count(), 0);
    for (const char *uid : {"1.1", "1.2", "1.3", "1.4"}) {
        c.add(imageWithUid(QString::fromLatin1(uid)));
    }
    EXPECT_EQ(uids(c), (QStringList{"1.1", "1.2", "1.3", "1.4"}));
    c.remove(2);
    EXPECT_EQ(uids(c), (QStringList{"1.1", "1.3", "1.4"}));
    c.remove(3);
    c.remove(1);
    EXPECT_EQ(uids(c), (QStringList{"1.3"}));
    for (int bad : {0, 2, -1}) {
        EXPECT_THROW(c.item(bad), ToolkitError) << bad;
        EXPECT_THROW(c.remove(bad), ToolkitError) << bad;
    }
    c.clear();
    EXPECT_EQ(c.count(), 0);
}

TEST(ImageCollection, SharedImagesAreTheSameObject) {
    ImageCollection a, b;
    const auto image = imageWithUid(QStringLiteral("9.9"));
    a.add(image);
    b.add(image);
    a.item(1)->setZoom(2.5);
    EXPECT_DOUBLE_EQ(b.item(1)->zoom(), 2.5);
}

TEST(ImageCollection, ReadFileAppendsOrRaisesAndAddsNothing) {
    QTemporaryDir dir;
    const QString good = dir.filePath("good.dcm");
    baseDataSet().save(good, TransferSyntax::ExplicitLittle);
    const QString bad = dir.filePath("bad.dcm");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(300, 'x'));
    f.close();

    ImageCollection c;
    c.add(imageWithUid(QStringLiteral("1")));
    EXPECT_EQ(c.readFile(good)->sourceName(), good);
    EXPECT_EQ(c.count(), 2);
    try {
        c.readFile(bad);
        FAIL() << "no error";
    } catch (const ToolkitError &e) {
        EXPECT_TRUE(QString::fromStdString(e.what()).contains(bad));
    }
    EXPECT_THROW(c.readFile(dir.filePath("absent.dcm")), ToolkitError);
    EXPECT_EQ(c.count(), 2);
}

TEST(GlobalSettings, NamedValuesIgnoreCase) {
    GlobalSettings::setInt(QStringLiteral("LogLevel"), 3);
    EXPECT_EQ(GlobalSettings::getInt(QStringLiteral("loglevel")), 3);
    GlobalSettings::setInt(QStringLiteral("LOGLEVEL"), 5);
    EXPECT_EQ(GlobalSettings::getInt(QStringLiteral("LogLevel")), 5);
    GlobalSettings::setText(QStringLiteral("LogLocation"), QStringLiteral("/tmp/logs"));
    EXPECT_EQ(GlobalSettings::getText(QStringLiteral("logLOCATION")), QStringLiteral("/tmp/logs"));
    // integers and texts are separate stores; unknown names read empty
    EXPECT_EQ(GlobalSettings::getText(QStringLiteral("LogLevel")), QString());
    EXPECT_EQ(GlobalSettings::getInt(QStringLiteral("Never set")), 0);
}

TEST(DisplayState, DefaultsAndNormalisation) {
    const auto image = imageWithUid(QStringLiteral("2.2"));
    EXPECT_EQ(image->currentFrame(), 1);
    EXPECT_DOUBLE_EQ(image->zoom(), 1.0);
    EXPECT_FALSE(image->stretch());
    EXPECT_EQ(image->flipState(), 0);
    EXPECT_EQ(image->cineMode(), 0);
    image->setRotation(-1);
    EXPECT_EQ(image->rotation(), 3);
    image->setRotation(5);
    EXPECT_EQ(image->rotation(), 1);
    image->setFlipState(7);
    EXPECT_EQ(image->flipState(), Image::FlipHorizontal | Image::FlipVertical);
}

} // namespace
