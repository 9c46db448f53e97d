#include "remotesource.h"

#include "importedsources.h"

using namespace Qt::StringLiterals;

QString RemoteSourceOf(const ServerFields& fields) {
    return NormalRemoteSource(TrimBlanksAndControls(fields.host) + u':' +
                              TrimBlanksAndControls(fields.port) + u'/' +
                              TrimBlanksAndControls(fields.path));
}

QString NormalRemoteSource(const QString& recorded) {
    QStringView rest(recorded);
    bool https = false;
    if (rest.startsWith(u"https://", Qt::CaseInsensitive)) {
        https = true;
        rest = rest.sliced(8);
    } else if (rest.startsWith(u"http://", Qt::CaseInsensitive)) {
        rest = rest.sliced(7);
    }
    // The host ends at the first ":" (after the brackets of an IPv6 address), the port at the
    // next "/".
    const qsizetype bracket = rest.startsWith(u'[') ? rest.indexOf(u']') : 0;
    const qsizetype colon = bracket < 0 ? -1 : rest.indexOf(u':', bracket);
    const qsizetype slash = colon < 0 ? -1 : rest.indexOf(u'/', colon);
    if (colon <= 0 || slash < 0)
        return recorded;
    QString port = rest.sliced(colon + 1, slash - colon - 1).toString();
    if (https && port == u"80")
        port = u"443"_s;
    QStringView path = rest.sliced(slash + 1);
    while (path.endsWith(u'/'))
        path.chop(1);
    return (https ? u"https://"_s : QString()) + rest.left(colon).toString().toLower() + u':' +
           port + u'/' + path.toString();
}

QStringList RecordedSpellings(FeeDatabase& db, const QString& source) {
    QStringList spellings{source};
    for (const QString& recorded : ImportedSources(db))
        // A local folder's canonical path begins with "/".
        if (recorded != source && !recorded.startsWith(u'/') &&
            NormalRemoteSource(recorded) == source)
            spellings << recorded;
    return spellings;
}

QHash<QString, ImportedFile> CompleteRemoteRecord(FeeDatabase& db, const QString& source,
                                                  const QStringList& names) {
    QHash<QString, ImportedFile> latest;
    QSet<QString> incomplete;
    if (names.isEmpty())
        return latest;
    const QSet<QString> wanted(names.begin(), names.end());
    for (const QString& spelling : RecordedSpellings(db, source)) {
        const QHash<QString, ImportedFile> files = ReadImportedFiles(db, spelling, names);
        const QSet<QString> missing = NamesMissingTournaments(db, spelling, names);
        for (auto file = files.begin(); file != files.end(); ++file) {
            if (!wanted.contains(file.key()))
                continue;
            const auto held = latest.constFind(file.key());
            if (held != latest.constEnd() && !(file->imported > held->imported))
                continue;
            latest.insert(file.key(), *file);
            if (missing.contains(file.key()))
                incomplete.insert(file.key());
            else
                incomplete.remove(file.key());
        }
    }
    for (const QString& name : std::as_const(incomplete))
        latest.remove(name);
    return latest;
}

void AdoptRecordedSpellings(FeeDatabase& db, const QString& source) {
    const QStringList spellings = RecordedSpellings(db, source);
    for (qsizetype i = 1; i < spellings.size(); ++i)
        MergeImportedSource(db, spellings.at(i), source);
}
