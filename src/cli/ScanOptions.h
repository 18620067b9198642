#pragma once

#include "engine/base/Settings.h"

#include <QCommandLineParser>
#include <QString>

namespace backtrail::cli {

/// Adds every option of backtrail-scan, with its help text, to the parser.
void AddScanOptions(QCommandLineParser& parser);

/// Applies the options that change the scan settings (--dupes, --no-dupes and
/// the other switches, --domain, --since, --until) to `settings`. Empty when
/// they can be applied; else what is wrong with them, as a usage error says it.
QString ApplyScanOptions(const QCommandLineParser& parser, engine::ScanSettings& settings);

} // namespace backtrail::cli
