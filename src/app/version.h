#pragma once

#include <QString>

/// The version of this release ("2.05"), as the build names it; both programs print it for
/// --version.
QString ProgramVersion();
