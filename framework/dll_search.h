#pragma once
// Where the platform looks for a DLL that is loaded by name.

// From now on a DLL that this program, or a system library on its behalf (the shell, the common
// controls, Windows Sockets), loads by name comes from the system folder only. By default the
// program's own folder and the current folder come first, and a program copied to a downloads folder
// would load whatever DLL of that name was downloaded beside it. Systems without the documented call
// (before Windows 8, or 7 without its update) at least lose the current folder from the search.
void RestrictDllSearchToSystemFolder();
