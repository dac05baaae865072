// Reference lines: where a slice's plane cuts a scout, in the scout's pixels, worked out by hand
// for orthogonal and oblique slices; the ways there is no line; the plane read from a data set;
// and the sample study's CT slices on its coronal scout.
#include "samplestudy.h"
#include "support/dicomtestdata.h"
#include "toolkit/image.h"
#include "toolkit/referenceline.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace ravlen;
using namespace ravlen::testdata;
using toolkit::ImagePlane;
using toolkit::NoLine;
using toolkit::referenceLine;

namespace {

// A coronal scout of 100 x 100 one-millimetre pixels whose image coordinates are the patient's
// x and -z: the first pixel's centre (0.5, 0.5) lies at x = 0.5, z = -0.5.
ImagePlane coronalScout() {
    ImagePlane p;
    p.position = {0.5, 0.0, -0.5};
    p.rowDirection = {1, 0, 0};
    p.columnDirection = {0, 0, -1};
    p.rowSpacing = 1.0;
    p.columnSpacing = 1.0;
    p.rows = 100;
    p.columns = 100;
    p.frameOfReference = "1.2.3";
    return p;
}

// An axial slice at height z: 80 x 60 pixels of 0.5 mm, x from 10.25 to 50.25 mm, y across 0.
ImagePlane axialSlice(double z) {
    ImagePlane p;
    p.position = {10.5, -20.0, z};
    p.rowDirection = {1, 0, 0};
    p.columnDirection = {0, 1, 0};
    p.rowSpacing = 0.5;
    p.columnSpacing = 0.5;
    p.rows = 60;
    p.columns = 80;
    p.frameOfReference = "1.2.3";
    return p;
}

// The line's ends in either order, to within a millionth of a pixel.
void expectLine(const toolkit::ReferenceLine &r, QPointF a, QPointF b) {
    ASSERT_TRUE(r.line) << r.text.toStdString();
    EXPECT_TRUE(r.text.isEmpty());
    QPointF p = r.line->p1();
    QPointF q = r.line->p2();
    if (QLineF(p, a).length() > QLineF(q, a).length()) {
        std::swap(p, q);
    }
    EXPECT_NEAR(p.x(), a.x(), 1e-6);
    EXPECT_NEAR(p.y(), a.y(), 1e-6);
    EXPECT_NEAR(q.x(), b.x(), 1e-6);
    EXPECT_NEAR(q.y(), b.y(), 1e-6);
}

TEST(ReferenceLine, AxialSliceOnCoronalScoutRunsAcrossTheSlicesOuterEdges) {
    // z = -40 is row 40 of the scout, the border between pixels 39 and 40; the slice's first
    // pixel centre (x = 10.5) is the centre of scout pixel 10, its outer edges half a slice
    // pixel beyond its outermost centres.
    expectLine(referenceLine(coronalScout(), axialSlice(-40.0)), {10.25, 40.0}, {50.25, 40.0});
    expectLine(referenceLine(coronalScout(), axialSlice(-40.5)), {10.25, 40.5}, {50.25, 40.5});

    // Rows 2 mm apart and columns 0.5 mm apart: x counts half millimetres, y double ones; the
    // line is kept within the scout's 100 columns.
    ImagePlane scout = coronalScout();
    scout.position = {0.25, 0.0, -1.0};
    scout.rowSpacing = 2.0;
    scout.columnSpacing = 0.5;
    expectLine(referenceLine(scout, axialSlice(-40.0)), {20.5, 20.0}, {100.0, 20.0});
}

TEST(ReferenceLine, ObliqueSliceGivesASlantedLine) {
    // Turned 30 degrees about the patient's y axis: the slice's rows climb in z as x grows.
    ImagePlane slice;
    const double c = std::cos(M_PI / 6);
    const double s = std::sin(M_PI / 6);
    slice.position = {20.0, -9.5, -30.0};
    slice.rowDirection = {c, 0, s};
    slice.columnDirection = {0, 1, 0};
    slice.rowSpacing = 1.0;
    slice.columnSpacing = 1.0;
    slice.rows = 20;
    slice.columns = 40;
    slice.frameOfReference = "1.2.3";
    // Its left and right outer edges (half a pixel before the first centre and after the last)
    // cross the scout's plane y = 0.
    expectLine(referenceLine(coronalScout(), slice), {20.0 - 0.5 * c, 30.0 + 0.5 * s},
               {20.0 + 39.5 * c, 30.0 - 39.5 * s});

    // The scout itself turned the same way about its own normal: the line stays horizontal
    // in the scout's pixels, whichever way the scout's axes run.
    ImagePlane turned = coronalScout();
    turned.rowDirection = {c, 0, s};
    turned.columnDirection = {s, 0, -c};
    turned.position = {0, 0, 0};
    const auto r = referenceLine(turned, slice);
    ASSERT_TRUE(r.line);
    EXPECT_NEAR(r.line->p1().y(), r.line->p2().y(), 1e-9);
}

TEST(ReferenceLine, NoLineForParallelCoplanarOtherFrameOrOutside) {
    const ImagePlane scout = coronalScout();
    ImagePlane same = scout;
    same.position = {5.5, 0.0, -3.5};
    same.rows = 10;
    EXPECT_EQ(referenceLine(scout, same).reason, NoLine::Coplanar);

    ImagePlane behind = same;
    behind.position[1] = 7.0;
    behind.rowDirection = {-1, 0, 0}; // mirrored, still parallel
    const auto parallel = referenceLine(scout, behind);
    EXPECT_EQ(parallel.reason, NoLine::Parallel);
    EXPECT_FALSE(parallel.line);
    EXPECT_EQ(parallel.text, "The slice is parallel to the scout.");

    ImagePlane other = axialSlice(-40.0);
    other.frameOfReference = "1.2.4";
    EXPECT_EQ(referenceLine(scout, other).reason, NoLine::OtherFrameOfReference);

    // Above the scout's top edge (z = 0), and a slice that stops short of the scout's plane.
    EXPECT_EQ(referenceLine(scout, axialSlice(50.0)).reason, NoLine::Outside);
    ImagePlane shortOf = axialSlice(-40.0);
    shortOf.position[1] = 10.0;
    const auto outside = referenceLine(scout, shortOf);
    EXPECT_EQ(outside.reason, NoLine::Outside);
    EXPECT_EQ(outside.text, "The slice does not cross the scout.");
    // Only its edge on the plane: a line still (the edge itself).
    ImagePlane touching = axialSlice(-40.0);
    touching.position[1] = 0.25;
    expectLine(referenceLine(scout, touching), {10.25, 40.0}, {50.25, 40.0});
}

TEST(ReferenceLine, DegenerateGeometryIsNamedForTheImageAtFault) {
    struct Case {
        const char *what;
        std::function<void(ImagePlane &)> spoil;
        const char *text;
    };
    const Case cases[] = {
        {"zero axis",
         [](ImagePlane &p) {
             p.rowDirection = {0, 0, 0};
         },
         "Orientation"},
        {"unnormalised",
         [](ImagePlane &p) {
             p.rowDirection = {2, 0, 0};
         },
         "Orientation"},
        {"slanted axes",
         [](ImagePlane &p) {
             p.columnDirection = {0.7071068, 0.7071068, 0};
         },
         "Orientation"},
        {"zero spacing", [](ImagePlane &p) { p.rowSpacing = 0.0; }, "Pixel Spacing"},
        {"negative spacing", [](ImagePlane &p) { p.columnSpacing = -0.5; }, "Pixel Spacing"},
        {"no columns", [](ImagePlane &p) { p.columns = 0; }, "rows or columns"},
    };
    for (const Case &c : cases) {
        ImagePlane slice = axialSlice(-40.0);
        c.spoil(slice);
        const auto r = referenceLine(coronalScout(), slice);
        EXPECT_EQ(r.reason, NoLine::DegenerateGeometry) << c.what;
        EXPECT_TRUE(r.text.startsWith("The slice ")) << c.what;
        EXPECT_TRUE(r.text.contains(c.text)) << c.what << ": " << r.text.toStdString();
        ImagePlane scout = coronalScout();
        c.spoil(scout);
        EXPECT_TRUE(referenceLine(scout, axialSlice(-40.0)).text.startsWith("The scout "))
            << c.what;
    }
    // Direction cosines written to four decimals are taken as meant.
    ImagePlane slice = axialSlice(-40.0);
    slice.rowDirection = {0.7071, 0.7071, 0};
    slice.columnDirection = {-0.7071, 0.7071, 0};
    EXPECT_TRUE(referenceLine(coronalScout(), slice).line);
}

// --- the plane of an image

std::shared_ptr<toolkit::Image> planeImage(const std::function<void(DataSetBuilder &)> &edit) {
    DataSetBuilder b = baseDataSet();
    b.set(0x0020, 0x0032, "10.5\\-20\\-40");
    b.set(0x0020, 0x0037, "1\\0\\0\\0\\1\\0");
    b.set(0x0028, 0x0030, "0.5\\0.25");
    b.set(0x0020, 0x0052, "1.2.3");
    b.setPixels(monochrome(6, 8, 1, 16, 12, false, std::vector<int>(48, 100)));
    if (edit) {
        edit(b);
    }
    return toolkit::Image::fromBytes(b.toBytes(toolkit::TransferSyntax::ExplicitLittle), "p");
}

TEST(ReferenceLine, PlaneIsReadFromTheDataSet) {
    const auto reading = toolkit::readImagePlane(*planeImage({}), "The slice");
    ASSERT_TRUE(reading.plane) << reading.text.toStdString();
    const ImagePlane &p = *reading.plane;
    EXPECT_EQ(p.position, (toolkit::Vector3{10.5, -20, -40}));
    EXPECT_EQ(p.columnDirection, (toolkit::Vector3{0, 1, 0}));
    EXPECT_EQ(p.rowSpacing, 0.5); // the first value: between rows
    EXPECT_EQ(p.columnSpacing, 0.25);
    EXPECT_EQ(p.rows, 6);
    EXPECT_EQ(p.columns, 8);
    EXPECT_EQ(p.frameOfReference, "1.2.3");

    struct Case {
        quint16 group, element;
        const char *value; // null: removed
        NoLine reason;
        const char *text;
    };
    const Case cases[] = {
        {0x0020, 0x0032, nullptr, NoLine::MissingGeometry,
         "The slice has no Image Position (Patient)."},
        {0x0020, 0x0032, "abc\\0\\0", NoLine::DegenerateGeometry,
         "The slice has an Image Position (Patient) that is not three numbers."},
        {0x0020, 0x0032, "nan\\0\\0", NoLine::DegenerateGeometry, "three numbers"},
        {0x0020, 0x0037, "1\\0\\0\\0\\1", NoLine::DegenerateGeometry, "six numbers"},
        {0x0020, 0x0037, "0\\0\\0\\0\\1\\0", NoLine::DegenerateGeometry, "unit vectors"},
        {0x0028, 0x0030, nullptr, NoLine::MissingGeometry, "The slice has no Pixel Spacing."},
        {0x0028, 0x0030, "0.5", NoLine::DegenerateGeometry,
         "The slice has a Pixel Spacing that is not two numbers."},
        {0x0020, 0x0052, nullptr, NoLine::MissingGeometry, "no Frame of Reference UID"},
    };
    for (const Case &c : cases) {
        const auto image = planeImage([&](DataSetBuilder &b) {
            if (c.value) {
                b.set(c.group, c.element, c.value);
            } else {
                b.remove(c.group, c.element);
            }
        });
        const auto r = toolkit::readImagePlane(*image, "The slice");
        EXPECT_FALSE(r.plane) << c.text;
        EXPECT_EQ(r.reason, c.reason) << c.text;
        EXPECT_TRUE(r.text.contains(c.text)) << r.text.toStdString();
    }
    // An image without a data set (the placeholder) has no plane either.
    EXPECT_EQ(toolkit::readImagePlane(*toolkit::Image::placeholder(), "The scout").reason,
              NoLine::MissingGeometry);
}

TEST(ReferenceLine, SampleStudySlicesLieWhereTheirHeightsPutThemOnTheScout) {
    QTemporaryDir dir;
    tools::SampleStudyOptions o;
    o.outDir = dir.path();
    o.slices = 4;
    o.size = 60;
    tools::writeSampleStudy(o);
    const auto scout = toolkit::Image::fromFile(QDir(dir.path()).filePath("SCOUT.dcm"));
    // The scout: 60 columns over x -180..180, 50 rows over z 150..-150 (6 mm a row).
    for (int k = 1; k <= 4; ++k) {
        const auto slice = toolkit::Image::fromFile(
            QDir(dir.path()).filePath(QString("CT%1.dcm").arg(k, 4, 10, QChar('0'))));
        toolkit::ReferenceLine why;
        const auto label = toolkit::referenceLineLabel(*scout, *slice, &why);
        ASSERT_TRUE(label) << why.text.toStdString();
        EXPECT_EQ(label->type, toolkit::Label::Line);
        EXPECT_EQ(label->space, toolkit::Label::Space::Image);
        const double z = slice->attribute(0x0020, 0x1041).toDouble();
        EXPECT_NEAR(label->top, (150.0 - z) / 6.0, 1e-3) << k;
        EXPECT_NEAR(label->height, 0.0, 1e-9);
        EXPECT_NEAR(std::abs(label->width), 60.0, 1e-3); // the CT's 360 mm, the scout's width
    }
    // The scout on itself: one plane.
    toolkit::ReferenceLine why;
    EXPECT_FALSE(toolkit::referenceLineLabel(*scout, *scout, &why));
    EXPECT_EQ(why.reason, NoLine::Coplanar);
}

} // namespace
