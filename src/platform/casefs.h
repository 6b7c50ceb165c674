#pragma once
// File names on the authority's media and in the system's own relative paths
// are compared without regard to case (they come from a case-blind file
// system). On Linux we look such names up case-blind, one path component at a
// time, so "R56_0112.TXT" finds "r56_0112.txt".
#include <QString>

namespace r56::platform {

// "DOC\select.htm" -> "DOC/select.htm": a backslash in the system's relative
// paths is a path separator.
QString nativeSeparators(const QString &path);

// The entry of `dir` whose name equals `name` without regard to case; an exact
// match wins over a case-blind one. Empty when there is none.
QString findInDir(const QString &dir, const QString &name);

// Resolves every component of `path` case-blind. Returns the existing path when
// every component was found, otherwise `path` with native separators (so that a
// caller creating a file gets the name it asked for).
QString resolveCaseBlind(const QString &path);

// Both paths name the same file when compared without regard to case.
bool samePathCaseBlind(const QString &a, const QString &b);

// A regular file exists at `path` (looked up case-blind). A folder is not a file.
bool fileExistsCaseBlind(const QString &path);

} // namespace r56::platform
