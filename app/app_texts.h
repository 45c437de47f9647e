#pragma once
// Texts that the program compares with, or joins to, names read from files. Those names are
// code page 932 bytes, so these are too; the UTF-8 spelling stands beside each, and a test
// checks that the two agree.

namespace kelna::texts {

// ケルナの設定: the settings window's title and the start of its caption.
inline constexpr char kAppTitle[] = "\x83\x50\x83\x8B\x83\x69\x82\xCC\x90\xDD\x92\xE8";

// (なし): no file chosen.
inline constexpr char kNoFileMarker[] = "(\x82\xC8\x82\xB5)";

// The animation file used when the settings name none.
inline constexpr char kUntitledAnimation[] = "untitled.anm";

// File dialog filters.
// ｱﾆﾒｰｼｮﾝﾌｧｲﾙ (*.anm)|*.anm|すべてのﾌｧｲﾙ(*.*)|*.*|
inline constexpr char kAnimationFilter[] =
    "\xB1\xC6\xD2\xB0\xBC\xAE\xDD\xCC\xA7\xB2\xD9 (*.anm)|*.anm|"
    "\x82\xB7\x82\xD7\x82\xC4\x82\xCC\xCC\xA7\xB2\xD9(*.*)|*.*|";
// ｵﾌﾞｼﾞｪｸﾄﾌｧｲﾙ (*.foe)|*.foe|すべてのﾌｧｲﾙ(*.*)|*.*|
inline constexpr char kObjectFilter[] =
    "\xB5\xCC\xDE\xBC\xDE\xAA\xB8\xC4\xCC\xA7\xB2\xD9 (*.foe)|*.foe|"
    "\x82\xB7\x82\xD7\x82\xC4\x82\xCC\xCC\xA7\xB2\xD9(*.*)|*.*|";
// 背景ｲﾒｰｼﾞﾌｧｲﾙ (*.bmp)|*.bmp|すべてのﾌｧｲﾙ(*.*)|*.*|
inline constexpr char kBgImageFilter[] =
    "\x94\x77\x8C\x69\xB2\xD2\xB0\xBC\xDE\xCC\xA7\xB2\xD9 (*.bmp)|*.bmp|"
    "\x82\xB7\x82\xD7\x82\xC4\x82\xCC\xCC\xA7\xB2\xD9(*.*)|*.*|";
// BGMﾌｧｲﾙ (*.mid)|*.mid|すべてのﾌｧｲﾙ(*.*)|*.*|
inline constexpr char kBgMusicFilter[] =
    "BGM\xCC\xA7\xB2\xD9 (*.mid)|*.mid|"
    "\x82\xB7\x82\xD7\x82\xC4\x82\xCC\xCC\xA7\xB2\xD9(*.*)|*.*|";

}  // namespace kelna::texts
