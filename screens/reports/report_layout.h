#pragma once
// Layout shared by the report dialogs.

namespace kovrix {

/// Least width of a report dialog: its two-column buttons show their captions whole.
inline constexpr int kReportScreenWidth = 440;

}  // namespace kovrix
