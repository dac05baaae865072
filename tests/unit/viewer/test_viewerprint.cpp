// Printing from the viewer window into a PDF: the question, the pages, and where each picture
// lands on the rendered page.
#include "outputwindowtest.h"

#include "viewer/printlayout.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QProcess>

using namespace ravlen;
using test::OutputWindowTest;

namespace {

constexpr int kDpi = 72;      // rendered pages: 20 twips a pixel
constexpr int kMarginPx = 12; // the PDF's margins, 12 points

// Black frames (the white corner block sits inside the box) of the given size.
std::shared_ptr<toolkit::Image> blackImage(int columns, int rows, int number) {
    testdata::FramesSpec s = testdata::framesSpec(columns, rows, 1);
    s.background = 0;
    s.instanceNumber = QString::number(number);
    return testdata::greyFrames(s);
}

int pageCount(const QString &pdf) {
    QProcess p;
    p.start("pdfinfo", {pdf});
    p.waitForFinished(30000);
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("Pages:")) {
            return line.mid(6).trimmed().toInt();
        }
    }
    return -1;
}

QImage renderPage(const QString &pdf, int page, const QString &prefix) {
    QProcess p;
    p.start("pdftoppm", {"-r", QString::number(kDpi), "-f", QString::number(page), "-l",
                         QString::number(page), "-singlefile", "-png", pdf, prefix});
    p.waitForFinished(60000);
    return QImage(prefix + ".png");
}

// The bounding boxes of the dark areas larger than a line of text.
std::vector<QRect> darkBoxes(const QImage &page) {
    const QImage g = page.convertToFormat(QImage::Format_Grayscale8);
    const QRect all = g.rect();
    std::vector<bool> seen(std::size_t(g.width()) * g.height());
    const auto visit = [&](QPoint q) {
        const std::size_t at = std::size_t(q.y()) * g.width() + q.x();
        const bool fresh = all.contains(q) && !seen[at] && g.constScanLine(q.y())[q.x()] < 64;
        if (fresh) {
            seen[at] = true;
        }
        return fresh;
    };
    std::vector<QRect> boxes;
    for (int y = 0; y < g.height(); ++y) {
        for (int x = 0; x < g.width(); ++x) {
            if (!visit({x, y})) {
                continue;
            }
            QRect box(x, y, 1, 1);
            int area = 0;
            std::vector<QPoint> todo{{x, y}};
            while (!todo.empty()) {
                const QPoint q = todo.back();
                todo.pop_back();
                ++area;
                box |= QRect(q, QSize(1, 1));
                for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                    if (visit(q + d)) {
                        todo.push_back(q + d);
                    }
                }
            }
            if (area > 200) {
                boxes.push_back(box);
            }
        }
    }
    return boxes;
}

// A laid-out rectangle in twips as pixels of the rendered page.
QRect onPage(const QRect &twips) {
    const auto px = [](int t) { return int(std::lround(t * kDpi / 1440.0)); };
    return QRect(QPoint(kMarginPx + px(twips.left()), kMarginPx + px(twips.top())),
                 QPoint(kMarginPx + px(twips.left() + twips.width()) - 1,
                        kMarginPx + px(twips.top() + twips.height()) - 1));
}

bool near(const QRect &a, const QRect &b, int tolerance = 2) {
    return std::abs(a.left() - b.left()) <= tolerance && std::abs(a.top() - b.top()) <= tolerance &&
           std::abs(a.right() - b.right()) <= tolerance &&
           std::abs(a.bottom() - b.bottom()) <= tolerance;
}

std::string describe(const std::vector<QRect> &boxes) {
    std::string out;
    for (const QRect &r : boxes) {
        out += QStringLiteral("(%1,%2 %3x%4) ")
                   .arg(r.x())
                   .arg(r.y())
                   .arg(r.width())
                   .arg(r.height())
                   .toStdString();
    }
    return out;
}

class ViewerPrintTest : public OutputWindowTest {};

TEST_F(ViewerPrintTest, PrintAsksFirstAndNoPrintsNothing) {
    frmDicomViewer &v = viewerWith({blackImage(64, 64, 1), blackImage(64, 64, 2)});
    prompts->buttonAnswers = {Prompter::No};
    v.entry("PrintWindows")->trigger();
    ASSERT_EQ(prompts->records.size(), 1u);
    const auto &asked = prompts->records[0];
    EXPECT_EQ(asked.text, "All images will be printed.\r\nAre you sure?");
    EXPECT_EQ(asked.icon, Prompter::Icon::Information);
    EXPECT_EQ(asked.buttons, Prompter::Yes | Prompter::No);
    EXPECT_TRUE(asked.title.isEmpty());
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(ViewerPrintTest, SevenImagesGiveTwoPagesWithEachPictureWhereTheLayoutPutsIt) {
    std::vector<std::shared_ptr<toolkit::Image>> images;
    std::vector<QSize> sizes;
    for (int i = 1; i <= 7; ++i) {
        // square and wide pictures take both fitting rules: 4330 x 4330 and 5240 x 1310 twips
        const QSize size = i % 2 ? QSize(64, 64) : QSize(128, 32);
        images.push_back(blackImage(size.width(), size.height(), i));
        sizes.push_back(size);
    }
    frmDicomViewer &v = viewerWith(images);
    prompts->buttonAnswers = {Prompter::Yes};
    v.PrintWindows_Click();
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_EQ(pageCount(pdf), 2);
    ASSERT_EQ(prompts->messages().size(), 2);
    EXPECT_EQ(prompts->messages().at(1),
              "No printer is set up: the pages were saved as PDF in " + pdf + ".");
    EXPECT_FALSE(v.outputBusy());

    const std::vector<viewer::PrintPage> layout = viewer::layoutAllImages(sizes);
    for (int page = 1; page <= 2; ++page) {
        const QImage rendered = renderPage(pdf, page, dir.filePath("page%1").arg(page));
        ASSERT_FALSE(rendered.isNull());
        const std::vector<QRect> found = darkBoxes(rendered);
        const viewer::PrintPage &expected = layout[std::size_t(page - 1)];
        ASSERT_EQ(found.size(), expected.size()) << describe(found);
        for (const viewer::PlacedImage &placed : expected) {
            const QRect want = onPage(placed.picture);
            EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                                    [&](const QRect &r) { return near(r, want); }))
                << "image " << placed.index + 1 << " expected at " << describe({want}) << "found "
                << describe(found);
            // Its instance number is printed just left of the picture's top-left corner.
            const QRect number(want.left() - 17, want.top(), 16, 9);
            int ink = 0;
            for (int y = number.top(); y <= number.bottom(); ++y) {
                for (int x = number.left(); x <= number.right(); ++x) {
                    ink += qGray(rendered.pixel(x, y)) < 128;
                }
            }
            EXPECT_GT(ink, 3) << "no number beside image " << placed.index + 1;
        }
    }
}

TEST_F(ViewerPrintTest, SixImagesFillOnePageAndAnEmptyViewerPrintsNothing) {
    std::vector<std::shared_ptr<toolkit::Image>> six;
    for (int i = 1; i <= 6; ++i) {
        six.push_back(blackImage(16, 16, i));
    }
    frmDicomViewer &v = viewerWith(six);
    prompts->buttonAnswers = {Prompter::Yes};
    v.PrintWindows_Click();
    EXPECT_EQ(pageCount(pdf), 1);
    delete &v;

    QFile::remove(pdf);
    prompts->records.clear();
    frmDicomViewer &empty = viewerWith({});
    prompts->buttonAnswers = {Prompter::Yes};
    empty.PrintWindows_Click();
    EXPECT_EQ(prompts->records.size(), 1u) << "only the question";
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(ViewerPrintTest, TheSelectedImageIsPrintedAloneFromTheMenuAndTheContextMenu) {
    frmDicomViewer &v = viewerWith({blackImage(64, 64, 1), blackImage(128, 32, 2)});
    v.SelectImage(2);
    v.entry("cmnuPrintSelImage")->trigger();
    ASSERT_EQ(prompts->messages().size(), 1) << "no question, only where the PDF went";
    EXPECT_EQ(pageCount(pdf), 1);
    const std::vector<QRect> found = darkBoxes(renderPage(pdf, 1, dir.filePath("selected")));
    ASSERT_EQ(found.size(), 1u) << describe(found);
    EXPECT_TRUE(near(found[0], onPage(QRect(450, 1500, 10580, 2645)))) << describe(found);

    QFile::remove(pdf);
    v.entry("mnuPrintSel")->trigger();
    EXPECT_EQ(pageCount(pdf), 1);
}

TEST_F(ViewerPrintTest, PrintSelectedOnAnEmptyViewerOnlySaysThereIsNothing) {
    frmDicomViewer &v = viewerWith({});
    v.mnuPrintSel_Click();
    EXPECT_EQ(prompts->messages(), QStringList{"No Images to manipulate!"});
    EXPECT_FALSE(QFile::exists(pdf));
}

} // namespace
