#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

/// What is wrong with a command line that the parser refused, as one phrase in lower case that
/// names the argument as it was typed: "unknown option '--fast'" rather than the parser's own
/// "Unknown option 'fast'.".
QString CommandLineFault(const QCommandLineParser& parser, const QStringList& arguments);
