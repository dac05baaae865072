#pragma once

#include "support/dicomtestdata.h"
#include "toolkit/image.h"
#include "toolkit/imagecollection.h"
#include "viewer/imageset.h"

#include <QColor>
#include <QString>

#include <map>
#include <memory>
#include <optional>

namespace ravlen::test {

// What a test image carries besides a small CT pixel block.
struct TestImage {
    QString name = QStringLiteral("img");
    std::optional<QString> sliceLocation; // (0020,1041) as text; absent when empty optional
    QString patientName = QStringLiteral("Doe^John^Quincy");
    QString patientId = QStringLiteral("PID-7");
    QString modality = QStringLiteral("CT");
    double slope = 1.0;
    double intercept = -1024.0;
};

inline toolkit::DataSetBuilder imageBuilder(const TestImage &desc) {
    toolkit::DataSetBuilder b =
        testdata::baseDataSet(QStringLiteral("1.2.840.10008.5.1.4.1.1.2"),
                              QStringLiteral("1.2.3.4.5.6.") + QString::number(qHash(desc.name)));
    b.set(0x0008, 0x0060, desc.modality);
    b.set(0x0010, 0x0010, desc.patientName);
    b.set(0x0010, 0x0020, desc.patientId);
    if (desc.sliceLocation) {
        b.set(0x0020, 0x1041, *desc.sliceLocation);
    }
    b.set(0x0028, 0x1053, QString::number(desc.slope));
    b.set(0x0028, 0x1052, QString::number(desc.intercept));
    // 4 x 2 signed pixels: stored value = column * 100 + row
    b.setPixels(testdata::monochrome(2, 4, 1, 16, 16, true, {0, 100, 200, 300, 1, 101, 201, 301}));
    return b;
}

inline std::shared_ptr<toolkit::Image> makeImage(const TestImage &desc) {
    return toolkit::Image::fromBytes(
        imageBuilder(desc).toBytes(toolkit::TransferSyntax::ExplicitLittle), desc.name);
}

inline std::shared_ptr<toolkit::Image> makeImage(const QString &name) {
    TestImage desc;
    desc.name = name;
    return makeImage(desc);
}

// The viewer control as the image set sees it, without a widget.
class FakeGrid : public viewer::ImageGrid {
public:
    toolkit::ImageCollection &images() override { return collection; }
    viewer::GridSize grid() const override { return size; }
    void setGrid(viewer::GridSize grid) override { size = grid; }
    int firstShown() const override { return first; }
    void setFirstShown(int position) override { first = position; }
    void setBorderColour(const toolkit::Image &image, QColor colour) override {
        colours[&image] = colour;
    }
    void refresh() override { ++refreshes; }

    // Adds images named "1".."n".
    void fill(int n) {
        for (int i = 1; i <= n; ++i) {
            collection.add(makeImage(QString::number(i)));
        }
    }
    QString nameAt(int position) const { return collection.item(position)->sourceName(); }
    QStringList names() const {
        QStringList out;
        for (int p = 1; p <= collection.count(); ++p) {
            out << nameAt(p);
        }
        return out;
    }

    toolkit::ImageCollection collection;
    viewer::GridSize size;
    int first = 0;
    std::map<const toolkit::Image *, QColor> colours;
    int refreshes = 0;
};

} // namespace ravlen::test
