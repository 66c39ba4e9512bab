#pragma once
// What both systems' port components share: the texts of their own failures and the tables that
// turn the properties into line settings.

namespace kovrix::port_texts {

inline constexpr char kNotOpen[] = "Port was not opened!\nError = -1";
inline constexpr char kNotOpenForWrite[] = "Port was not opened.\nError = -1";
inline constexpr char kNotOpenForTimeouts[] = "Port was not opened!\nError = -20";
inline constexpr char kAlreadyOpen[] = "Port was opened!\nError = -20";
inline constexpr char kSessionAlreadyOpen[] = "Session was opened!\nError = -16";
inline constexpr char kNoSession[] = "Session was not opened.\nError = -21";
inline constexpr char kNoSessionForRead[] = "Session was not opened!!\nError = -21";
inline constexpr char kNoSessionForClearError[] = "Session was not opened\nError = -21";
inline constexpr char kNoSessionForEnd[] = "Session was not opened!\nError = -21";
inline constexpr char kNoEndChar[] = "End character is absent.\nError = -19";

inline constexpr int kDataBits[] = {5, 6, 7, 8};
// Parity values in the line settings: none 0, odd 1, even 2, mark 3.
inline constexpr int kParityCode[] = {0, 2, 3, 1};

}  // namespace kovrix::port_texts
