// The scout viewer's "Print" into a PDF: the pages of the main viewer's layout, each headed by
// the exam's patient, with the texts where the header puts them and the pictures where the
// layout does.
#include "scouttestsupport.h"

#include "scout/printheader.h"
#include "support/outputtestdata.h"
#include "viewer/pageprinter.h"
#include "viewer/printlayout.h"

#include <QAction>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

using namespace ravlen;

namespace {

constexpr int kDpi = 72;         // rendered pages: 20 twips a pixel
constexpr double kMarginPt = 12; // the PDF's margins

struct Word {
    QString text;
    QPointF topLeft; // points from the page's corner
};

// The words of a page with their boxes, as pdftotext sees them.
std::vector<Word> wordsOf(const QString &pdf, int page) {
    QProcess p;
    p.start("pdftotext",
            {"-bbox", "-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
    p.waitForFinished(30000);
    static const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="[\d.]+">([^<]*)</word>)re");
    std::vector<Word> words;
    auto it = word.globalMatch(QString::fromUtf8(p.readAllStandardOutput()));
    while (it.hasNext()) {
        const auto m = it.next();
        words.push_back(
            {m.captured(3), QPointF(m.captured(1).toDouble(), m.captured(2).toDouble())});
    }
    return words;
}

int pageCount(const QString &pdf) {
    QProcess p;
    p.start("pdfinfo", {pdf});
    p.waitForFinished(30000);
    static const QRegularExpression pages(R"(Pages:\s+(\d+))");
    return pages.match(QString::fromUtf8(p.readAllStandardOutput())).captured(1).toInt();
}

// The bounding boxes of the dark areas larger than a glyph of text.
std::vector<QRect> darkBoxes(const QImage &page) {
    const QImage g = page.convertToFormat(QImage::Format_Grayscale8);
    std::vector<bool> seen(std::size_t(g.width()) * g.height());
    std::vector<QRect> boxes;
    for (int y = 0; y < g.height(); ++y) {
        for (int x = 0; x < g.width(); ++x) {
            std::vector<QPoint> todo{{x, y}};
            QRect box;
            int area = 0;
            while (!todo.empty()) {
                const QPoint q = todo.back();
                todo.pop_back();
                if (!g.rect().contains(q)) {
                    continue;
                }
                const std::size_t at = std::size_t(q.y()) * g.width() + q.x();
                if (seen[at] || g.constScanLine(q.y())[q.x()] >= 64) {
                    continue;
                }
                seen[at] = true;
                ++area;
                box |= QRect(q, QSize(1, 1));
                todo.insert(todo.end(), {q + QPoint(1, 0), q - QPoint(1, 0), q + QPoint(0, 1),
                                         q - QPoint(0, 1)});
            }
            if (area > 200) {
                boxes.push_back(box);
            }
        }
    }
    return boxes;
}

class ScoutPrintTest : public test::ScoutWindowTest {
protected:
    void SetUp() override {
        ScoutWindowTest::SetUp();
        pdf = dir.filePath("scout.pdf");
        viewer::setPrintTargetProvider([this] { return viewer::PrintTarget{QString(), pdf}; });
    }
    void TearDown() override {
        viewer::setPrintTargetProvider({});
        ScoutWindowTest::TearDown();
    }
    QTemporaryDir dir;
    QString pdf;
};

TEST_F(ScoutPrintTest, EveryPageCarriesTheHeaderAboveTheImages) {
    frmSliceViewer &v = sliceViewer();
    std::vector<QSize> sizes;
    for (int i = 1; i <= 7; ++i) {
        testdata::FramesSpec s = testdata::framesSpec(64, 64, 1);
        s.background = 0;
        s.instanceNumber = QString::number(i);
        v.Viewer->images().add(testdata::greyFrames(s));
        sizes.push_back(QSize(64, 64));
    }
    v.InitImage();
    clsExam &exam = currentExam();
    exam.setPatientID("P-42");
    exam.setAge("053Y");
    exam.setName_Last("Sample");
    exam.setName_First("Thomas");
    exam.setName_Middle("");
    exam.setRevenueID("");
    exam.setExamName("THORAX");
    exam.setStudyID("S100");
    exam.setStudyDate(QDate(2024, 1, 31));

    prompts->buttonAnswers = {Prompter::Yes};
    v.button(5)->trigger();
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_EQ(prompts->records.at(0).text, "All images will be printed.\r\nAre you sure?");
    ASSERT_EQ(pageCount(pdf), 2);

    // Where each text starts: its twips from the printable area's corner, in points.
    const auto at = [](int x, int y) {
        return QPointF(kMarginPt + x / 20.0, kMarginPt + y / 20.0);
    };
    const std::vector<std::pair<QString, QPointF>> firstWords = {
        {"Patient", at(250, 400)}, {"P-42", at(2000, 400)},    {"Age", at(6250, 400)},
        {"053Y", at(8000, 400)},   {"Sample,", at(2000, 700)}, {"Exam:", at(6250, 700)},
        {"Trans.", at(250, 1000)}, {"S100", at(2000, 1000)},   {"Trans.", at(6250, 1000)},
    };
    const QString date = scout::transactionDateText(QDate(2024, 1, 31));
    const std::vector<viewer::PrintPage> layout = viewer::layoutAllImages(sizes);
    for (int page = 1; page <= 2; ++page) {
        const std::vector<Word> words = wordsOf(pdf, page);
        QStringList texts;
        for (const Word &w : words) {
            texts << w.text;
        }
        const QString all = texts.join(' ');
        for (const char *expected : {"Patient ID:", "Age :", "Patient Name:", "Sample, Thomas",
                                     "Exam:", "- THORAX", "Trans. No.:", "S100", "Trans. Date:"}) {
            EXPECT_TRUE(all.contains(expected))
                << "page " << page << ": " << expected << " in " << all.toStdString();
        }
        EXPECT_TRUE(all.contains(date)) << date.toStdString();
        for (const auto &[text, where] : firstWords) {
            const bool found = std::any_of(words.begin(), words.end(), [&](const Word &w) {
                return w.text == text && std::abs(w.topLeft.x() - where.x()) < 1.5 &&
                       std::abs(w.topLeft.y() - where.y()) < 4.0;
            });
            EXPECT_TRUE(found) << "page " << page << ": \"" << text.toStdString() << "\" at "
                               << where.x() << "," << where.y();
        }

        // The pictures where the main viewer's layout puts them, below the header.
        QProcess render;
        const QString prefix = dir.filePath(QString("page%1").arg(page));
        render.start("pdftoppm", {"-r", QString::number(kDpi), "-f", QString::number(page), "-l",
                                  QString::number(page), "-singlefile", "-png", pdf, prefix});
        render.waitForFinished(60000);
        const std::vector<QRect> found = darkBoxes(QImage(prefix + ".png"));
        const viewer::PrintPage &expected = layout[std::size_t(page - 1)];
        ASSERT_EQ(found.size(), expected.size());
        for (const viewer::PlacedImage &placed : expected) {
            const QRect want(QPoint(int(kMarginPt) + placed.picture.left() / 20,
                                    int(kMarginPt) + placed.picture.top() / 20),
                             placed.picture.size() / 20);
            EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                                    [&](const QRect &r) {
                                        return std::abs(r.left() - want.left()) <= 2 &&
                                               std::abs(r.top() - want.top()) <= 2 &&
                                               std::abs(r.width() - want.width()) <= 2;
                                    }))
                << "image " << placed.index + 1;
        }
    }
}

} // namespace
