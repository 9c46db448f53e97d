#pragma once

#include "feedatabase.h"

#include <QString>
#include <QStringList>

/// Every Source of the record, in text order; none when the record does not exist yet.
QStringList ImportedSources(FeeDatabase& db);

/// Moves the rows of the record from one Source to another, inside the caller's transaction:
/// for a name that both hold, the row of the later import stays (that of `to` when both are of
/// the same time), with the tournaments it lists. The record's tables must exist.
void MergeImportedSource(FeeDatabase& db, const QString& from, const QString& to);
