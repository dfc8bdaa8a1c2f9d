#pragma once

#include <QString>

// The program's skin and apps as they are in the source tree, copied to
// where the program looks for them under the current storage folder.
namespace SceneFiles {

bool copyFolder(const QString& from, const QString& to);
bool install();

} // namespace SceneFiles
