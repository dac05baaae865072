#include "commands.h"

#include <cstdio>

namespace ravlen::app {

const std::vector<Command> &commands() {
    static const std::vector<Command> table = {
        {"view", "[FILE|FOLDER...] [OPTIONS]", "show images in the viewer",
         "  --grid RxC            rows x columns of the viewer (default: by the number of images)\n"
         "  --screenshot OUT.png  write a picture of the window, then quit\n"
         "  --quit-after-ms N     close the window after N milliseconds\n",
         true, runView},
        {"open", "[OPTIONS]", "query the PACS and open the query dialog",
         "  --patient-id ID       patient identifier\n"
         "  --last-name NAME      patient's family name\n"
         "  --gender SEX          patient's sex (M, F, O)\n"
         "  --dob YYYYMMDD        patient's date of birth\n"
         "  --study-date YYYYMMDD date of the study\n"
         "  --modality MOD        modality of the study (CT, MR, ...)\n"
         "  --accession NUMBER    accession number\n"
         "  --study-uid UID       study instance UID\n"
         "\nGive at least one. The PACS is the one configured in ravlenpacs.ini beside the\n"
         "library. The program ends when the viewer (or, before any retrieval, the query\n"
         "dialog) closes.\n",
         true, runOpen},
        {"get-pacs", "ACCESSION --db URL", "open the study of an accession number",
         "  --db URL   the database holding StudyTable:\n"
         "               sqlite:PATH\n"
         "               postgresql://[USER[:PASSWORD]@]HOST[:PORT]/DATABASE[?OPTION=VALUE]\n"
         "               odbc:DSN\n"
         "               odbc:DRIVER={FreeTDS};SERVER=HOST;PORT=1433;DATABASE=dicom;\n"
         "                    UID=USER;PWD=PASSWORD;TDS_Version=7.4   (one argument)\n"
         "\nThe accession number is looked up in StudyTable; its study is queried on the PACS\n"
         "configured in ravlenpacs.ini beside the library. A number with no study in the table\n"
         "ends with exit code 2. The program ends when the viewer (or, before any retrieval,\n"
         "the query dialog) closes.\n",
         true, runGetPacs},
        {"dump", "FILE", "print the data elements of a DICOM file", "", false, runDump},
        {"render", "FILE -o OUT.png [OPTIONS]", "draw an image as a tile shows it, as PNG",
         "  -o OUT.png      the picture to write\n"
         "  --level L       window centre (with --width; default: the image's own window)\n"
         "  --width W       window width, 1 or more\n"
         "  --frame N       frame of a multi-frame image, from 1\n"
         "  --size WxH      fit the image into a cell of this size, as a tile does\n",
         false, runRender},
        {"echo", "HOST PORT [OPTIONS]", "verify a DICOM peer (C-ECHO)",
         "  --aet TITLE     our calling AE title (default: RAVLENPACS)\n"
         "  --called TITLE  the peer's AE title (default: ANY-SCP)\n"
         "  --timeout S     give up after S seconds (default: 10)\n",
         false, runEcho},
    };
    return table;
}

QString programHelp() {
    constexpr int Column = 35;
    const auto line = [](const QString &head, const QString &text) {
        return (QStringLiteral("  ") + head).leftJustified(Column) + QLatin1Char(' ') + text +
               QLatin1Char('\n');
    };
    QString text = QStringLiteral("Usage: ravlenpacs COMMAND [ARGUMENTS]\n\n"
                                  "The RAVLEN PACS Viewer and its DICOM companions.\n\n"
                                  "Commands:\n");
    for (const Command &c : commands()) {
        text +=
            line(QString::fromLatin1(c.name) + QLatin1Char(' ') + QString::fromLatin1(c.arguments),
                 QString::fromLatin1(c.summary));
    }
    text += line(QStringLiteral("--help"), QStringLiteral("show this text"));
    text += line(QStringLiteral("--version"), QStringLiteral("show the version"));
    text += QStringLiteral("\n`ravlenpacs COMMAND --help` shows the options of a command.\n"
                           "Exit codes: 0 success, 1 usage error, 2 input, network or "
                           "database failure.\n");
    return text;
}

QString commandHelp(const Command &c) {
    QString summary = QString::fromLatin1(c.summary);
    summary[0] = summary[0].toUpper();
    QString text = QStringLiteral("Usage: ravlenpacs %1 %2\n\n%3.\n")
                       .arg(QString::fromLatin1(c.name), QString::fromLatin1(c.arguments), summary);
    if (*c.details) {
        text += QStringLiteral("\n") + QString::fromLatin1(c.details);
    }
    return text;
}

void reportError(const QString &text, const char *command) {
    const QString line =
        QStringLiteral("ravlenpacs%1: %2\n")
            .arg(command ? QStringLiteral(" ") + QString::fromLatin1(command) : QString(),
                 text.simplified());
    std::fputs(line.toLocal8Bit().constData(), stderr);
}

void reportProgress(const QString &text, const char *command) {
    reportError(text, command);
}

void writeOut(const QString &text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace ravlen::app
