#!/usr/bin/env bash
# Makes a fresh Wine prefix fit for the lab. Run by wine.sh inside a namespace with no network,
# with WINEPREFIX, WINESERVER and WINEDLLOVERRIDES set and no DISPLAY.
#   wine_template_recipe.sh WINE WINESERVER
# Bump TEMPLATE_RECIPE in wine.sh when this changes, so cached templates are rebuilt.
set -euo pipefail
wine=$1
wineserver=$2

"$wine" wineboot -i
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
"$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
# A new prefix has no Arial: without this Wine picks a serif face for the dialogs font.
"$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f
"$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v 'Liberation Sans' /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f
"$wineserver" -w

# Debian's Wine does not load its own fonts folder: without these Tahoma falls back and the caption
# buttons draw as letters.
for font in tahoma.ttf tahomabd.ttf marlett.ttf; do
    [[ -f /usr/share/wine/fonts/$font ]] || {
        echo "/usr/share/wine/fonts/$font missing (package fonts-wine)" >&2
        exit 1
    }
    ln -sf "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/$font"
done
