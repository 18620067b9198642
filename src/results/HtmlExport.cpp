#include "HtmlExport.h"

#include "engine/results/Export.h"

namespace backtrail::results {

QString ExportPath(const QString& folder)
{
    const QString name = QString::fromLatin1(kExportFileName);
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

ExportOutcome ExportReferrers(const engine::WorkingLists& lists, const QString& folder)
{
    ExportOutcome outcome;
    outcome.path = ExportPath(folder);
    outcome.saved = engine::WriteExport(lists, outcome.path, &outcome.error);
    return outcome;
}

QString ExportMessage(const ExportOutcome& outcome)
{
    if (outcome.saved)
        return QStringLiteral("saved as ") + outcome.path;
    return QStringLiteral("The referrer list could not be saved as %1.\n\n%2").arg(outcome.path, outcome.error);
}

} // namespace backtrail::results
