#include "viewer/exportrules.h"

namespace ravlen::viewer {

QString exportFilter(int frameCount) {
    return frameCount > 1 ? kMovieFilter : kPictureFilter;
}

bool exportsAsMovie(const QString &fileName) {
    return fileName.right(3).toUpper() == QLatin1String("AVI");
}

} // namespace ravlen::viewer
