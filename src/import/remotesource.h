#pragma once

#include "apiclient.h"
#include "feedatabase.h"
#include "importedfiles.h"

#include <QHash>
#include <QString>
#include <QStringList>

/// Where the items of a server are recorded: "host:port/path" of the server fields, trimmed,
/// written one way for one server (NormalRemoteSource).
QString RemoteSourceOf(const ServerFields& fields);

/// The one spelling of a recorded "host:port/path": the host in lower case without an "http://"
/// in front ("https://" stays, in lower case), the port as typed but 443 for a port "80" of an
/// https host (the address then names no port), the path without a trailing "/". A text of
/// another shape comes back as it is.
QString NormalRemoteSource(const QString& recorded);

/// The Sources under which the record holds the server: its own spelling first, then those of
/// older runs that wrote it another way.
QStringList RecordedSpellings(FeeDatabase& db, const QString& source);

/// The record of each of the names that the record holds for the server, under any of its
/// spellings, with all their tournaments still in Master, by name. Where two spellings hold a
/// name, the later import counts.
QHash<QString, ImportedFile> CompleteRemoteRecord(FeeDatabase& db, const QString& source,
                                                  const QStringList& names);

/// Moves the rows that older runs recorded for the server under another spelling to its own,
/// inside the run's transaction (the record's tables must exist).
void AdoptRecordedSpellings(FeeDatabase& db, const QString& source);
