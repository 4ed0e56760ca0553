// Times skin parsing, picture decoding and full-window drawing, and prints
// the drawing times next to the floor measured in the same run: one
// AlphaBlend (picture with alpha) or one BitBlt (opaque picture) of the same
// size. Run by tools/bench-render.sh; prints, asserts nothing.
//
//   bench_render [skin folder]

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/TestPng.h"
#include "ui/markup/XmlMarkup.h"
#include "ui/render/ImageLoader.h"
#include "ui/render/ImageTable.h"
#include "ui/render/RenderImage.h"

using namespace SkinUI;

namespace {

const int kWidth = 647, kHeight = 449;

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Median milliseconds of `runs` calls.
double Median(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        work();
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string ReadAll(const std::wstring& path)
{
    std::string bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return bytes;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0) bytes.append(buffer, n);
    fclose(file);
    return bytes;
}

// The largest skin of the folder, or a made-up one of the same kind.
std::string LargestSkin(const wchar_t* folder, std::wstring& name)
{
    std::string largest;
    if (folder) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((std::wstring(folder) + L"\\*.xml").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string bytes = ReadAll(std::wstring(folder) + L"\\" + found.cFileName);
                if (bytes.size() > largest.size()) {
                    largest = bytes;
                    name = found.cFileName;
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
    }
    if (!largest.empty()) return largest;
    name = L"(generated)";
    largest = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Window size=\"599,426\" caption=\"0,0,0,100\" "
              "layeredopacity=\"255\" layeredimage=\"res='143' restype='png'\">\n";
    for (int i = 0; i < 6; ++i)
        largest += "  <Font id=\"" + std::to_string(i) + "\" name=\"\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91\" size=\"" +
                   std::to_string(13 + i) + "\" bold=\"false\"/>\n";
    largest += "  <VerticalLayout>\n";
    for (int i = 0; i < 60; ++i) {
        largest += "    <HorizontalLayout height=\"40\" padding=\"10,0,10,0\">\n"
                   "      <Label text=\"&lt;item&gt; " + std::to_string(i) +
                   "\" font=\"2\" textcolor=\"#FF333333\" width=\"120\"/>\n"
                   "      <Button name=\"btn" + std::to_string(i) +
                   "\" normalimage=\"res='150' restype='png' source='0,0,100,30'\" "
                   "hotimage=\"res='150' restype='png' source='0,30,100,60'\" width=\"100\"/>\n"
                   "    </HorizontalLayout>\n";
    }
    largest += "  </VerticalLayout>\n</Window>\n";
    return largest;
}

class Canvas {
public:
    Canvas()
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_dc = CreateCompatibleDC(nullptr);
        m_old = SelectObject(m_dc, m_bitmap);
    }
    ~Canvas()
    {
        SelectObject(m_dc, m_old);
        DeleteDC(m_dc);
        DeleteObject(m_bitmap);
    }
    HDC Dc() const { return m_dc; }

private:
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    HDC m_dc;
};

// A picture like a skin's background: smooth colour, soft alpha edges.
std::string MakePng(bool withAlpha)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint32_t alpha = 255;
            if (withAlpha) {
                int edge = std::min(std::min(x, kWidth - 1 - x), std::min(y, kHeight - 1 - y));
                alpha = edge >= 12 ? 255 : static_cast<uint32_t>(edge * 20);
            }
            pixels[static_cast<size_t>(y) * kWidth + x] = alpha << 24 | static_cast<uint32_t>(x * 255 / kWidth) << 16 |
                                                           static_cast<uint32_t>(y * 255 / kHeight) << 8 | 0x80;
        }
    return testing_support::EncodePng(pixels, kWidth, kHeight, 9);
}

void Report(const char* what, double ms, const char* floorName, double floorMs)
{
    printf("%-44s %8.3f ms   floor (%s) %8.3f ms   ratio %.2f\n", what, ms, floorName, floorMs, ms / floorMs);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring skinName;
    std::string skin = LargestSkin(argc > 1 ? argv[1] : nullptr, skinName);
    CXmlMarkup markup;
    double parse = Median(200, [&] { markup.ParseBytes(skin.data(), skin.size(), XmlEncodingUtf8); });
    printf("parse %ls (%zu bytes): %.3f ms%s\n", skinName.c_str(), skin.size(), parse,
           markup.RootNode().IsValidNode() ? "" : "  (did not parse)");

    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    CImageTable table;
    for (bool withAlpha : {true, false}) {
        std::wstring path = std::wstring(folder) + (withAlpha ? L"bench_alpha.png" : L"bench_opaque.png");
        std::string png = MakePng(withAlpha);
        FILE* file = _wfopen(path.c_str(), L"wb");
        if (!file) return 1;
        fwrite(png.data(), 1, png.size(), file);
        fclose(file);

        double decode = Median(15, [&] { LoadImageData(path.c_str(), nullptr, 0); });
        printf("decode and premultiply %dx%d PNG%s (%zu bytes): %.3f ms\n", kWidth, kHeight,
               withAlpha ? " with alpha" : ", opaque", png.size(), decode);

        ImageData* image = table.RegisterImage(path.c_str(), nullptr, 0, false, false);
        if (!image) return 1;
        Canvas canvas;
        RECT whole = {0, 0, kWidth, kHeight}, none = {0, 0, 0, 0};
        // A bitmap can be selected into one DC at a time: the floor's DC
        // holds it only during its rounds, as RenderImage selects it itself.
        HDC source = CreateCompatibleDC(nullptr);
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlendProc alphaBlend = GetAlphaBlend();
        auto floor = [&] {
            if (withAlpha)
                alphaBlend(canvas.Dc(), 0, 0, kWidth, kHeight, source, 0, 0, kWidth, kHeight, blend);
            else
                BitBlt(canvas.Dc(), 0, 0, kWidth, kHeight, source, 0, 0, SRCCOPY);
            GdiFlush();
        };
        auto render = [&] {
            RenderImage(canvas.Dc(), image->bitmap, whole, whole, whole, none, image->hasAlpha, 255, false, false,
                        false);
            GdiFlush();
        };
        // Interleaved rounds, so both see the same machine load.
        std::vector<double> floors, renders;
        for (int round = 0; round < 7; ++round) {
            HGDIOBJ old = SelectObject(source, image->bitmap);
            floors.push_back(Median(30, floor));
            SelectObject(source, old);
            renders.push_back(Median(30, render));
        }
        std::sort(floors.begin(), floors.end());
        std::sort(renders.begin(), renders.end());
        Report(withAlpha ? "RenderImage full window, picture with alpha" : "RenderImage full window, opaque picture",
               renders[3], withAlpha ? "AlphaBlend" : "BitBlt", floors[3]);
        DeleteDC(source);
        DeleteFileW(path.c_str());
    }
    return 0;
}
