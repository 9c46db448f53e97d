#pragma once

#include "apiclient.h"
#include "operatormessages.h"
#include "remotelist.h"

#include <QString>
#include <QStringList>
#include <optional>

/// What the viewer shows: its caption (the file's name) and the file's lines.
struct ViewedFile {
    QString caption;
    QStringList lines;
};

/// The path of a local results file: the folder, a "/" unless it ends in one, the file name.
QString LocalResultsPath(const QString& folder, const QString& fileName);

/// The local file of the current list item, read like an import reads it. Shows "No tournament
/// result files selected in list" when there is no current item and "Error loading " + path when
/// the file cannot be read; nothing to show then.
std::optional<ViewedFile> LoadLocalView(const QString& folder,
                                        const std::optional<QString>& currentItem,
                                        OperatorMessages& messages);

/// The remote file of the current list item, fetched with one file call. In this order: a missing
/// server field ("No IP specified" as information, the others as errors), more than one item
/// selected ("More than 1 result file selected"), no current item ("No result file selected in
/// list"), an answer whose Result is not "Ok" (its Error text). The answer's Result line is not
/// part of the file. The request sends the date and name the server gave for the item.
std::optional<ViewedFile> FetchRemoteView(const ServerFields& fields, qsizetype selectedCount,
                                          const std::optional<RemoteItem>& currentItem,
                                          OperatorMessages& messages,
                                          const ApiTimeouts& timeouts = DefaultApiTimeouts());
