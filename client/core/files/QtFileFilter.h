#pragma once

#include <QString>

namespace kestrel {

// The file dialog filter in Qt's form ("Description (*.a *.b);;...") from
// the classic form "description|patterns|description|patterns|", patterns
// separated by ";". A trailing pattern list in parentheses inside the
// description is dropped, since Qt shows the patterns itself; "*.*" stands
// for every file. Pairs without patterns are left out; an empty result lets
// the dialog show every file.
QString qtFileFilter(const QString& classicFilter);

} // namespace kestrel
