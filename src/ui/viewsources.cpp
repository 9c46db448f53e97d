#include "viewsources.h"

#include "busy.h"
#include "filenames.h"
#include "stringlist2.h"

#include <exception>

QString LocalResultsPath(const QString& folder, const QString& fileName) {
    return folder.endsWith(u'/') ? folder + fileName : folder + u'/' + fileName;
}

std::optional<ViewedFile> LoadLocalView(const QString& folder,
                                        const std::optional<QString>& currentItem,
                                        OperatorMessages& messages) {
    if (!currentItem) {
        messages.error(QStringLiteral("No tournament result files selected in list"));
        return std::nullopt;
    }
    const QString path = LocalResultsPath(folder, *currentItem);
    TStringList2 lines;
    try {
        lines.LoadFromFile(path);
    } catch (const std::exception&) { // ZvError, or a file too large for memory
        messages.error(QStringLiteral("Error loading ") + DisplayFileName(path));
        return std::nullopt;
    }
    return ViewedFile{DisplayFileName(*currentItem), std::move(lines)};
}

std::optional<ViewedFile> FetchRemoteView(const ServerFields& fields, qsizetype selectedCount,
                                          const std::optional<RemoteItem>& currentItem,
                                          OperatorMessages& messages, const ApiTimeouts& timeouts) {
    if (const auto missing = CheckServerFields(fields)) {
        messages.show(missing->field == ServerField::Host ? MessageKind::Information
                                                          : MessageKind::Error,
                      missing->message);
        return std::nullopt;
    }
    if (selectedCount > 1) {
        messages.error(QStringLiteral("More than 1 result file selected"));
        return std::nullopt;
    }
    if (!currentItem) {
        messages.error(QStringLiteral("No result file selected in list"));
        return std::nullopt;
    }
    ApiResponse answer;
    {
        const BusyCursor busy; // while the server is asked, as for the list
        answer = PostApiCommand(BuildApiUrl(fields), FileCallFields(fields.password, *currentItem),
                                timeouts);
    }
    if (!IsApiSuccess(answer)) {
        messages.error(ApiValue(answer, QStringLiteral("Error")));
        return std::nullopt;
    }
    // The Result line is the server's, not the file's. It comes first; should a server put
    // anything before it, that stays and the Result line still goes.
    for (qsizetype i = 0; i < answer.size(); ++i) {
        if (answer[i].section(u'=', 0, 0).compare(u"Result", Qt::CaseInsensitive) == 0) {
            answer.removeAt(i);
            break;
        }
    }
    return ViewedFile{currentItem->text, std::move(answer)};
}
