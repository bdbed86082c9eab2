// korimo_shortcut_probe.exe LINK...: what the Windows shell reads from each
// shortcut (.lnk), for scripts/msi-tests.sh to check the Start menu entries of
// the installed package. For every file, one line per field:
//   target PATH / arguments TEXT / folder PATH / icon PATH,INDEX / description TEXT
// Exit 1 when a file is not a shortcut the shell can load.
#include <cstdio>
#include <string>

#include "win32/windows_api.h"
// After windows_api.h: the shell's COM interfaces.
#include <shellapi.h>
#include <shlobj.h>

namespace {

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) {
    return {};
  }
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size - 1));
  return out;
}

bool Describe(IShellLinkW& link, const wchar_t* file) {
  IPersistFile* persist = nullptr;
  if (FAILED(link.QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    return false;
  }
  const bool loaded = SUCCEEDED(persist->Load(file, STGM_READ));
  persist->Release();
  if (!loaded) {
    return false;
  }
  wchar_t text[INFOTIPSIZE] = {};
  int icon_index = 0;
  std::printf("link %s\n", Utf8(file).c_str());
  const bool read = SUCCEEDED(link.GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH));
  std::printf("target %s\n", read ? Utf8(text).c_str() : "");
  text[0] = L'\0';
  link.GetArguments(text, INFOTIPSIZE);
  std::printf("arguments %s\n", Utf8(text).c_str());
  text[0] = L'\0';
  link.GetWorkingDirectory(text, MAX_PATH);
  std::printf("folder %s\n", Utf8(text).c_str());
  text[0] = L'\0';
  link.GetIconLocation(text, MAX_PATH, &icon_index);
  std::printf("icon %s,%d\n", Utf8(text).c_str(), icon_index);
  text[0] = L'\0';
  link.GetDescription(text, INFOTIPSIZE);
  std::printf("description %s\n", Utf8(text).c_str());
  return read;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count < 2) {
    std::fprintf(stderr, "usage: korimo_shortcut_probe LINK...\n");
    return 2;
  }
  if (FAILED(CoInitialize(nullptr))) {
    return 1;
  }
  int status = 0;
  for (int i = 1; i < count; ++i) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
      std::fprintf(stderr, "korimo_shortcut_probe: the shell offers no shortcut object\n");
      status = 1;
      break;
    }
    if (!Describe(*link, arguments[i])) {
      std::fprintf(stderr, "korimo_shortcut_probe: %s is not a shortcut\n",
                   Utf8(arguments[i]).c_str());
      status = 1;
    }
    link->Release();
  }
  CoUninitialize();
  LocalFree(arguments);
  return status;
}
