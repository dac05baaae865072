#include "toolkit/netlog.h"

#include "core/errors.h"
#include "toolkit/globalsettings.h"
#include "toolkit/startup.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/oflog/fileap.h>
#include <dcmtk/oflog/layout.h>
#include <dcmtk/oflog/oflog.h>

#include <QDir>

#include <mutex>

namespace ravlen::toolkit {

namespace {

dcmtk::log4cplus::LogLevel levelOf(int mask) {
    if (mask <= 0) {
        return dcmtk::log4cplus::OFF_LOG_LEVEL;
    }
    if (mask >= 0x200) { // byte-level logging asked for
        return dcmtk::log4cplus::TRACE_LOG_LEVEL;
    }
    if (mask >= 0x40) {
        return dcmtk::log4cplus::DEBUG_LOG_LEVEL;
    }
    if (mask >= 0x8) {
        return dcmtk::log4cplus::INFO_LOG_LEVEL;
    }
    if (mask >= 0x2) {
        return dcmtk::log4cplus::WARN_LOG_LEVEL;
    }
    return dcmtk::log4cplus::ERROR_LOG_LEVEL;
}

} // namespace

QString logLevelName(int mask) {
    switch (levelOf(mask)) {
    case dcmtk::log4cplus::OFF_LOG_LEVEL:
        return QStringLiteral("OFF");
    case dcmtk::log4cplus::TRACE_LOG_LEVEL:
        return QStringLiteral("TRACE");
    case dcmtk::log4cplus::DEBUG_LOG_LEVEL:
        return QStringLiteral("DEBUG");
    case dcmtk::log4cplus::INFO_LOG_LEVEL:
        return QStringLiteral("INFO");
    case dcmtk::log4cplus::WARN_LOG_LEVEL:
        return QStringLiteral("WARN");
    default:
        return QStringLiteral("ERROR");
    }
}

QString logFilePath(const QString &location) {
    QString folder = location.trimmed();
    // The Windows default answer stands for the user's home folder here.
    if (folder.isEmpty() || folder.compare(QLatin1String("C:\\"), Qt::CaseInsensitive) == 0) {
        folder = QDir::homePath();
    }
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir(folder).filePath(QStringLiteral("ravlenpacs-dicom.log"));
}

void applyLogSettings() {
    // The toolkit's start-up quietens DCMTK's logger; it must not undo this configuration later.
    try {
        ensureToolkit();
    } catch (const ToolkitError &) {
        // without a dictionary nothing will be logged about DICOM anyway
    }
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    const bool on = GlobalSettings::getInt(QStringLiteral("Log")) != 0;
    int mask = GlobalSettings::getInt(QStringLiteral("LogLevel"));
    if (on && mask == 0) {
        mask = 63; // switched on without a level: the normal one
    }
    dcmtk::log4cplus::Logger root = dcmtk::log4cplus::Logger::getRoot();
    root.removeAllAppenders();
    if (!on) {
        OFLog::configure(OFLogger::FATAL_LOG_LEVEL);
        return;
    }
    const QString path = logFilePath(GlobalSettings::getText(QStringLiteral("LogLocation")));
    dcmtk::log4cplus::SharedAppenderPtr file(new dcmtk::log4cplus::FileAppender(
        path.toLocal8Bit().constData(), STD_NAMESPACE ios::app, true));
    OFunique_ptr<dcmtk::log4cplus::Layout> layout(
        new dcmtk::log4cplus::PatternLayout("%D{%Y-%m-%d %H:%M:%S.%q} %5p %c: %m%n"));
    file->setLayout(OFmove(layout));
    root.addAppender(file);
    root.setLogLevel(levelOf(mask));
}

} // namespace ravlen::toolkit
