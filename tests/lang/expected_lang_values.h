#pragma once

// What every language table must yield, written as UTF-8 text so a test can compare the decoded value of
// each key with the caption a user should read. Shared by the host and the Windows tests.

#include <array>
#include <cstddef>

struct ExpectedLangTable {
    int tableId;
    int country; // a country code that selects this table
    std::size_t size;
    std::size_t language; // index into ExpectedCaption::values
};

inline constexpr std::array<ExpectedLangTable, 6> kExpectedLangTables = {{
    {130, 1, 261, 0},
    {131, 886, 237, 1},
    {132, 86, 236, 2},
    {133, 81, 288, 3},
    {134, 7, 267, 4},
    {136, 49, 261, 0}, // the English texts again
}};

struct ExpectedCaption {
    const char* key;
    std::array<const char*, 5> values; // English, Traditional Chinese, Simplified Chinese, Japanese, Russian
};

// clang-format off
inline constexpr std::array<ExpectedCaption, 12> kExpectedCaptions = {{
    {"ID_EXIT",          {"Exit", "離開", "离开", "閉じる", "тесном"}},
    {"ID_SET_IP",        {"Config", "設定", "设置", "セット", "Установить "}},
    {"ID_REFLASH",       {"Refresh", "更新", "刷新", "リフレッシュ", "Обновить"}},
    {"ID_IP_STR",        {"IP Address", "IP 位址", " IP地址", " IPアドレス", "IP Адрес"}},
    {"ID_MAC_STR",       {"Serial Number (MAC)", "序號 (MAC)", "序号(MAC)", "シリアルナンバー(MAC)",
                          "Серийный номер (MAC)"}},
    {"ID_ITEM_STR",      {"Item", "項目", "项目", "アイテム", "Пункт "}},
    {"ID_OK_STR",        {"OK", "確定", "确定", "OK", "OK"}},
    {"ID_CANCEL_STR",    {"Cancel", "取消", "取消", "キャンセル", "Отмена"}},
    {"ID_ACC_GROUP_STR", {"Net-Camera Login Account", "網路攝影機登入帳號", "网络摄像机登录帐号",
                          "カメラのログインアカウント", "Net-камеры Логин счета "}},
    {"ID_EDIT_ID_STR",   {"ID:", "帳號:", "身份:", "のID:", "ID:"}},
    {"ID_EDIT_PW_STR",   {"Password:", "密碼:", "密码:", "パスワード:", "Пароль:"}},
    {"ID_WEB",           {"WEB", "網頁", "网页", "ウェブ", "WEB"}},
}};
// clang-format on

// Every caller passes a 64-byte buffer.
inline constexpr int kCaptionCapacity = 64;
