// The resources of the four programs, read from the built files as Windows reads them: the
// version the Explorer shows, the manifest as the loader takes it (an activation context), and
// the icon, byte for byte the committed icon file and drawn by the system at each size.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ui/win32/ProgramResources.h"
#include "version/ProgramVersion.h"

namespace uhf {
namespace {

struct Program {
    const char* name;  // the file's name without ".exe"
    const char* path;  // as the build tree has it
    const char* icon;  // the icon file it carries
};

std::ostream& operator<<(std::ostream& out, const Program& program) {
    return out << program.name;
}

// A path of this machine's file system, as Wine shows it.
std::wstring WinePath(const std::string& path) {
    std::wstring out = L"Z:";
    for (const char c : path) {
        out += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return out;
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

class ProgramResourcesTest : public testing::TestWithParam<Program> {
  protected:
    std::wstring Path() const { return WinePath(GetParam().path); }
};

TEST_P(ProgramResourcesTest, VersionIsTheOneItsVersionOptionPrints) {
    const std::wstring path = Path();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0U) << "no version resource";
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDU);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(UHF_VERSION_MINOR, UHF_VERSION_MAJOR));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4U);
    EXPECT_EQ(translation[0], 0x0409);  // US English
    EXPECT_EQ(translation[1], 1200);    // UTF-16
    const auto text = [&](const std::wstring& key) {
        wchar_t* value = nullptr;
        const std::wstring query = L"\\StringFileInfo\\040904B0\\" + key;
        if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value),
                            &length)) {
            return std::wstring(L"<missing>");
        }
        return std::wstring(value);
    };
    const std::wstring name = Wide(GetParam().name);
    EXPECT_EQ(text(L"FileVersion"), Wide(ProgramVersion()));
    EXPECT_EQ(text(L"ProductVersion"), Wide(ProgramVersion()));
    EXPECT_EQ(text(L"OriginalFilename"), name + L".exe");
    EXPECT_EQ(text(L"InternalName"), name);
    EXPECT_EQ(text(L"FileDescription").rfind(name + L", ", 0), 0U) << "names the program first";
    EXPECT_EQ(text(L"ProductName"), L"UHF reader bench tools");
}

TEST_P(ProgramResourcesTest, ManifestGivesCommonControls6DpiAwarenessAndTheWindowsVersions) {
    const std::wstring path = Path();
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);  // the manifest a program starts with
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE)
        << "the loader refuses the manifest (Windows would not start the program): "
        << GetLastError();

    const auto setting = [&](const wchar_t* space, const wchar_t* name) {
        wchar_t value[128] = {};
        SIZE_T written = 0;
        return QueryActCtxSettingsW(0, context, space, name, value, 128, &written)
                   ? std::wstring(value)
                   : std::wstring(L"<missing>");
    };
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
              L"PerMonitorV2, System");
    EXPECT_EQ(setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"),
              L"true");

    // comctl32.dll comes from the version 6 assembly while the context is active.
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(context, &cookie));
    ACTCTX_SECTION_KEYED_DATA redirected{};
    redirected.cbSize = sizeof redirected;
    EXPECT_TRUE(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                         L"comctl32.dll", &redirected));
    DeactivateActCtx(0, cookie);

    // The layout of Windows 10 (and Wine), whose elements carry a MaxVersionTested that
    // MinGW's header lacks.
    struct Element {
        GUID id;
        DWORD type;
        ULONGLONG maxVersionTested;
    };
    struct Compatibility {
        DWORD count;
        Element elements[8];
    } compatibility{};
    SIZE_T needed = 0;
    ASSERT_TRUE(QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext,
                             &compatibility, sizeof compatibility, &needed));
    ASSERT_EQ(needed, offsetof(Compatibility, elements) + compatibility.count * sizeof(Element));
    std::set<std::wstring> systems;
    for (DWORD i = 0; i < compatibility.count; ++i) {
        if (compatibility.elements[i].type == ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS) {
            wchar_t id[40] = {};
            StringFromGUID2(compatibility.elements[i].id, id, 40);
            systems.insert(id);
        }
    }
    EXPECT_EQ(systems, (std::set<std::wstring>{
                           L"{8E0F7A12-BFB3-4FE8-B9A5-48FD50A15A9A}",  // 10 and 11
                           L"{1F676C76-80E1-4239-95BB-83D0F6D0DA78}",  // 8.1
                           L"{4A2F28E3-53B9-4441-BA9C-D69D4A4A6E38}",  // 8
                           L"{35138B9A-5D96-4FBD-8E2D-A2440225F93A}",  // 7
                       }));

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
    ASSERT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &level,
                             sizeof level, &needed));
    EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_EQ(level.UiAccess, 0U);
    ReleaseActCtx(context);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colors;
    BYTE reserved;
    WORD planes;
    WORD bitsPerPixel;
    DWORD bytes;
    WORD id;  // of the RT_ICON resource
};
#pragma pack(pop)

struct IconImage {
    int size;
    std::string bytes;
};

// The images of an .ico file, in its order.
std::vector<IconImage> ReadIconFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string file(std::istreambuf_iterator<char>(in), {});
    std::vector<IconImage> images;
    if (file.size() < 6) {
        return images;
    }
    const auto word = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(file[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(file[at + 1])) << 8;
    };
    const auto dword = [&](std::size_t at) { return word(at) | word(at + 2) << 16; };
    for (unsigned i = 0; i < word(4) && 6 + 16 * (i + 1) <= file.size(); ++i) {
        const std::size_t entry = 6 + 16 * i;
        const unsigned size = static_cast<unsigned char>(file[entry]);
        const std::size_t bytes = dword(entry + 8);
        const std::size_t offset = dword(entry + 12);
        if (offset + bytes <= file.size()) {
            images.push_back(
                {size == 0 ? 256 : static_cast<int>(size), file.substr(offset, bytes)});
        }
    }
    return images;
}

std::string ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
    HRSRC found = FindResourceW(module, name, type);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    if (loaded == nullptr) {
        return {};
    }
    return std::string(static_cast<const char*>(LockResource(loaded)),
                       SizeofResource(module, found));
}

// The colour the system draws at (x, y) of the icon at `size` pixels, over white.
COLORREF DrawnPixel(HICON icon, int size, int x, int y) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = size;
    format.bmiHeader.biHeight = -size;  // top down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP canvas = CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ before = SelectObject(dc, canvas);
    std::memset(bits, 0xFF, static_cast<std::size_t>(size) * size * 4);
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    const DWORD pixel = static_cast<const DWORD*>(bits)[y * size + x];
    SelectObject(dc, before);
    DeleteObject(canvas);
    DeleteDC(dc);
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

TEST_P(ProgramResourcesTest, IconIsTheProgramsOwnAtEverySize) {
    const std::vector<IconImage> images =
        ReadIconFile(std::string(UHF_ICON_DIR) + "/" + GetParam().icon + ".ico");
    ASSERT_FALSE(images.empty());
    HMODULE module = LoadLibraryExW(Path().c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);

    const std::string group =
        ResourceBytes(module, MAKEINTRESOURCEW(UHF_APP_ICON), MAKEINTRESOURCEW(14));
    ASSERT_GE(group.size(), 6U) << "no icon " << UHF_APP_ICON;
    const unsigned count = static_cast<unsigned char>(group[4]);
    ASSERT_EQ(count, images.size());
    ASSERT_EQ(group.size(), 6 + count * sizeof(GroupIconEntry));
    for (unsigned i = 0; i < count; ++i) {
        GroupIconEntry entry{};
        std::memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
        SCOPED_TRACE(images[i].size);
        EXPECT_EQ(entry.width == 0 ? 256 : entry.width, images[i].size);
        EXPECT_TRUE(ResourceBytes(module, MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3)) ==
                    images[i].bytes)
            << "the image differs from the icon file's";
    }

    // The images are PNG: the system draws each small size (the icon's blue field, low right).
    for (const int size : {16, 20, 24, 32, 40, 48}) {
        SCOPED_TRACE(size);
        const auto icon = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(UHF_APP_ICON), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr);
        const COLORREF drawn = DrawnPixel(icon, size, size * 3 / 4, size * 3 / 4);
        DestroyIcon(icon);
        const auto within = [](int value, int wanted) { return std::abs(value - wanted) <= 24; };
        EXPECT_TRUE(within(GetRValue(drawn), 0x1F) && within(GetGValue(drawn), 0x4E) &&
                    within(GetBValue(drawn), 0x8C))
            << std::hex << drawn;
    }
    FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramResourcesTest,
                         testing::Values(Program{"Tesmarle", UHF_TESMARLE_EXE, "tesmarle"},
                                         Program{"Ferrowin", UHF_FERROWIN_EXE, "ferrowin"},
                                         Program{"tesmarle-cli", UHF_TESMARLE_CLI_EXE, "tesmarle"},
                                         Program{"ferrowin-cli", UHF_FERROWIN_CLI_EXE, "ferrowin"}),
                         [](const testing::TestParamInfo<Program>& info) {
                             std::string name = info.param.name;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

}  // namespace
}  // namespace uhf
