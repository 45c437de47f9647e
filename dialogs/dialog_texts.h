#pragma once
// Texts of the settings dialogs that meet sprite and object names, which are code page 932
// bytes: the sheet's headings (whose byte lengths give the column widths) and the names a
// new sprite starts with. The UTF-8 spelling stands beside each; a test checks that the two
// agree.

#include <array>

namespace kelna::texts {

// The name a new sprite is proposed with; it must be changed before OK is accepted.
inline constexpr char kNewSpriteName[] = "newsprite";
// The object name of a sprite that shows no object.
inline constexpr char kNoObjectName[] = "None";

inline constexpr char kOn[] = "ON";
inline constexpr char kOff[] = "OFF";

// The sprite sheet's column headings, columns 1 to 16.
inline constexpr std::array<const char*, 16> kSheetHeadings = {
    "\xBD\xCC\xDF\xD7\xB2\xC4\x96\xBC",          // ｽﾌﾟﾗｲﾄ名
    "\xB5\xCC\xDE\xBC\xDE\xAA\xB8\xC4\x96\xBC",  // ｵﾌﾞｼﾞｪｸﾄ名
    "\x93\xAE\x8D\xEC\xC0\xB2\xCC\xDF",          // 動作ﾀｲﾌﾟ
    "\x90[\x82\xB3",                             // 深さ
    "\xB5\xB0\xC4\xD8\xCB\xDF\xB0\xC4",          // ｵｰﾄﾘﾋﾟｰﾄ
    "\xD7\xDD\xC0\xDE\xD1\xBD\xC0\xB0\xC4",      // ﾗﾝﾀﾞﾑｽﾀｰﾄ
    "\xBD\xC0\xB0\xC4X",                         // ｽﾀｰﾄX
    "\xBD\xC0\xB0\xC4Y",                         // ｽﾀｰﾄY
    "\x91\xAC\x93xX",                            // 速度X
    "\x91\xAC\x93xY",                            // 速度Y
    "\xB2\xD2\xB0\xBC\xDEW",                     // ｲﾒｰｼﾞW
    "\xB2\xD2\xB0\xBC\xDEH",                     // ｲﾒｰｼﾞH
    "\x8AJ\x8En\xCC\xDA\xB0\xD1",                // 開始ﾌﾚｰﾑ
    "\xCC\xDA\xB0\xD1\x90\x94",                  // ﾌﾚｰﾑ数
    "\xBD\xB7\xAF\xCC\xDF\x90\x94",              // ｽｷｯﾌﾟ数
    "\xBB\xB3\xDD\xC4\xDE",                      // ｻｳﾝﾄﾞ
};

}  // namespace kelna::texts
