// Retrieval: a 300-slice 512x512 CT study fetched by C-GET from a local Orthanc, once with
// DCMTK's getscu writing it to disk and once by our C-GET into an image collection (received,
// pre-scanned, parsed, every image's pixels decoded, the first image drawn through the display
// pipeline as soon as it arrives). Generates the study and starts and stops its own Orthanc
// (scripts/orthanc-start). Prints the medians of five runs of each.

#include "benchdata.h"
#include "samplestudy.h"
#include "toolkit/dicomquery.h"
#include "toolkit/imagecollection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <map>

using namespace ravlen;

namespace {

std::map<QString, QString> readEnv(const QString &path) {
    std::map<QString, QString> values;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        for (QByteArray line : file.readAll().split('\n')) {
            line = line.trimmed();
            if (line.startsWith("export ")) {
                line = line.mid(7);
            }
            const qsizetype eq = line.indexOf('=');
            if (eq > 0) {
                values[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
            }
        }
    }
    return values;
}

int fail(const char *what) {
    std::fprintf(stderr, "bench-retrieve: %s\n", what);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int runs = 5;
    QTemporaryDir work;
    const QString scripts = QStringLiteral(RAVLEN_SOURCE_DIR "/scripts/");
    const QString envFile = work.filePath(QStringLiteral("orthanc.env"));

    tools::SampleStudyOptions options;
    options.outDir = work.filePath(QStringLiteral("study"));
    options.slices = 300;
    options.size = 512;
    const int images = int(tools::writeSampleStudy(options).size());

    if (QProcess::execute(scripts + QStringLiteral("orthanc-start"),
                          {envFile, QStringLiteral("--load"), options.outDir}) != 0) {
        return fail("Orthanc did not start");
    }
    const auto env = readEnv(envFile);
    const int port = env.at(QStringLiteral("ORTHANC_DICOM_PORT")).toInt();
    auto stop = [&] { QProcess::execute(scripts + QStringLiteral("orthanc-stop"), {envFile}); };

    toolkit::DicomQuery query;
    query.setRemoteHost(QStringLiteral("127.0.0.1"));
    query.setRemotePort(port);
    query.setCallingAE(QStringLiteral("RAVLENPACS"));
    query.setCalledAE(QStringLiteral("ORTHANC"));
    query.setRoot(QStringLiteral("STUDY"));
    query.setLevel(QStringLiteral("STUDY"));
    const auto studies = query.find();
    if (studies.size() != 1) {
        stop();
        return fail("the study is not in Orthanc");
    }
    const QString studyUid = studies.front().studyInstanceUID();
    query.setKey(0x0020, 0x000D, studyUid);

    std::vector<double> getscu, ours, first;
    for (int run = 0; run < runs; ++run) {
        const QString out = work.filePath(QStringLiteral("getscu%1").arg(run));
        QDir().mkpath(out);
        QProcess process;
        QProcessEnvironment processEnv = QProcessEnvironment::systemEnvironment();
        processEnv.insert(QStringLiteral("TCP_NODELAY"), QStringLiteral("1"));
        process.setProcessEnvironment(processEnv);
        const auto start = bench::Clock::now();
        process.start(QStringLiteral("getscu"),
                      {QStringLiteral("-S"), QStringLiteral("-aec"), QStringLiteral("ORTHANC"),
                       QStringLiteral("-od"), out, QStringLiteral("127.0.0.1"),
                       QString::number(port), QStringLiteral("-k"),
                       QStringLiteral("QueryRetrieveLevel=STUDY"), QStringLiteral("-k"),
                       QStringLiteral("StudyInstanceUID=") + studyUid});
        process.waitForFinished(300000);
        getscu.push_back(bench::millisecondsSince(start) / 1000.0);
        if (QDir(out).entryList(QDir::Files).size() != images) {
            stop();
            return fail("getscu did not fetch the whole study");
        }
        QDir(out).removeRecursively();

        toolkit::ImageCollection set;
        double firstSeconds = -1.0;
        const auto ourStart = bench::Clock::now();
        query.setImageCallback([&](const std::shared_ptr<toolkit::Image> &image) {
            image->frame(1); // decoded as the viewer would before drawing
            set.add(image);
            if (firstSeconds < 0) {
                const QImage picture = image->render(QSize(512, 512));
                if (!picture.isNull()) {
                    firstSeconds = bench::millisecondsSince(ourStart) / 1000.0;
                }
            }
        });
        query.get();
        ours.push_back(bench::millisecondsSince(ourStart) / 1000.0);
        first.push_back(firstSeconds);
        if (set.count() != images) {
            stop();
            return fail("our C-GET did not fetch the whole study");
        }
    }
    stop();
    const double g = bench::median(getscu);
    const double o = bench::median(ours);
    std::printf("images: %d\n", images);
    std::printf("getscu_s: %.3f\n", g);
    std::printf("viewer_cget_s: %.3f\n", o);
    std::printf("ratio_vs_getscu: %.2f\n", g > 0 ? o / g : 0.0);
    std::printf("first_image_s: %.3f\n", bench::median(first));
    return 0;
}
