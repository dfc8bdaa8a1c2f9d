#include "SceneFiles.h"

#include "Application/Helper.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace SceneFiles {

bool copyFolder(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    bool copied = true;
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        QDir().mkpath(QFileInfo(target).absolutePath());
        copied = QFile::copy(source, target) && copied;
    }
    return copied;
}

bool install()
{
    const QString content = Helper::getContentPath();
    return copyFolder(QStringLiteral(KORVEX_SOURCE_DIR "/skin"), content + QStringLiteral("skins/default/KorvexSkin"))
        && copyFolder(QStringLiteral(KORVEX_SOURCE_DIR "/apps"), content + QStringLiteral("apps"));
}

} // namespace SceneFiles
