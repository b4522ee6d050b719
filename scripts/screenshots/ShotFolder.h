#pragma once

#include <QDir>
#include <QString>

// Where the screenshot programs put their pictures: the folder named by KIVORA_SHOT_DIR, made if
// missing (scripts/screenshots.sh sets it).
inline QString shotFolder()
{
    QString folder = qEnvironmentVariable("KIVORA_SHOT_DIR");
    if (folder.isEmpty())
        folder = QDir::current().filePath(QStringLiteral("shots"));
    QDir().mkpath(folder);
    return folder;
}
