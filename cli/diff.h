#pragma once
// virelan2-cli diff: a unit against its settings file, or two settings files, key by key.
#include <QString>

namespace cli {

// first is "COMn" (the unit on that port, read and left as it was) or a settings file; second
// is a settings file.  Standard output: key<TAB>first's value<TAB>second's value for every key
// on which they differ.  Returns Done when they agree, Differ when they do not.
int cmddiff(const QString& first, const QString& second);

} // namespace cli
