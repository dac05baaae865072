#include "burn/xorrisooutput.h"

#include <QRegularExpression>

#include <cmath>

namespace ravlen::burn {

namespace {

QString withoutPacketPrefix(const QString &line) {
    // "R:1: text" (result) and "I:1: text" (information) with -pkt_output on
    static const QRegularExpression prefix(QStringLiteral("^[RIM]:[01]: ?"));
    QString text = line;
    text.remove(prefix);
    while (text.endsWith(QLatin1Char('\r')) || text.endsWith(QLatin1Char('\n'))) {
        text.chop(1);
    }
    return text;
}

} // namespace

XorrisoLine classifyXorrisoLine(const QString &line) {
    XorrisoLine out;
    out.text = withoutPacketPrefix(line);
    const QString t = out.text.trimmed();
    using K = XorrisoLine::Kind;
    if (t.isEmpty() || t.startsWith(QLatin1String("Added to ISO image:"))) {
        out.kind = K::Ignore;
        return out;
    }
    if (t.contains(QLatin1String(": UPDATE :"))) {
        static const QRegularExpression percent(QStringLiteral("(\\d+(?:\\.\\d+)?)%"));
        const QRegularExpressionMatch m = percent.match(t);
        if (m.hasMatch()) {
            out.kind = K::Progress;
            out.percent = qBound(0, int(std::floor(m.captured(1).toDouble())), 100);
        }
        return out; // counts of files added or nodes read say nothing to the user
    }
    // The volume label is fixed and not upper case; the tolerance and abort notes only echo
    // a problem already logged on its own line.
    if (t.contains(QLatin1String("-volid text does not comply")) ||
        t.contains(QLatin1String("Tolerated problem event")) ||
        t.contains(QLatin1String("-return_with")) || t.contains(QLatin1String("-abort_on"))) {
        return out;
    }
    static const QRegularExpression problem(QStringLiteral(": (SORRY|FAILURE|FATAL|ABORT) :"));
    if (problem.match(t).hasMatch()) {
        out.kind = K::Problem;
    } else if (t.startsWith(QLatin1String("Writing to ")) &&
               t.endsWith(QLatin1String("completed successfully."))) {
        out.kind = K::Success;
    } else if (t.startsWith(QLatin1String("Media current:")) ||
               t.startsWith(QLatin1String("Media status :"))) {
        if (t.contains(QLatin1String("is not present"))) {
            out.kind = K::NoMedia;
        } else if (t.startsWith(QLatin1String("Media current:"))) {
            out.kind = K::MediaType;
        } else if (t.contains(QLatin1String("is closed"))) {
            out.kind = K::ClosedMedia;
        } else {
            out.kind = K::Log;
        }
    } else {
        out.kind = K::Log;
    }
    return out;
}

QList<Recorder> parseDrives(const QString &output) {
    // "0  -dev '/dev/sr0' rwrw-- :  'HL-DT-ST' 'DVDRAM GH24NSD1'"
    static const QRegularExpression drive(
        QStringLiteral("^\\s*\\d+\\s+-dev\\s+'([^']+)'\\s+\\S+\\s*:\\s*'([^']*)'\\s+'([^']*)'"));
    QList<Recorder> drives;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = drive.match(withoutPacketPrefix(line));
        if (!m.hasMatch()) {
            continue;
        }
        Recorder r;
        r.address = m.captured(1);
        const QString model =
            (m.captured(2).trimmed() + QLatin1Char(' ') + m.captured(3).trimmed()).trimmed();
        r.name = model.isEmpty() ? r.address
                                 : model + QStringLiteral(" (") + r.address + QLatin1Char(')');
        drives.append(r);
    }
    return drives;
}

QStringList burnArguments(const BurnJob &job, const QString &outdev) {
    QStringList args = {
        QStringLiteral("-pkt_output"),
        QStringLiteral("on"),
        // a SORRY (a file that cannot be read, a drive that refuses) fails the run
        QStringLiteral("-abort_on"),
        QStringLiteral("FAILURE"),
        QStringLiteral("-return_with"),
        QStringLiteral("SORRY"),
        QStringLiteral("32"),
        // names are taken literally, never as patterns
        QStringLiteral("-disk_pattern"),
        QStringLiteral("off"),
        QStringLiteral("-iso_rr_pattern"),
        QStringLiteral("off"),
        QStringLiteral("-outdev"),
        outdev,
        QStringLiteral("-volid"),
        job.volumeLabel,
        // long names for the computers patients take their discs to
        QStringLiteral("-joliet"),
        QStringLiteral("on"),
    };
    const QString folder = QLatin1Char('/') + job.folderName;
    // -mkdir takes a list of paths up to "--"
    args << QStringLiteral("-mkdir") << folder << QStringLiteral("--");
    for (const TrackFile &f : job.files) {
        args << QStringLiteral("-map") << f.sourcePath << folder + QLatin1Char('/') + f.name;
    }
    // Writing and giving the drive back in one step: the finished disc comes out of the
    // drive, and xorriso does not read the new session back into the log.
    args << QStringLiteral("-commit_eject") << QStringLiteral("all");
    return args;
}

} // namespace ravlen::burn
