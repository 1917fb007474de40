#pragma once
// The maker's web addresses, kept in one place: the about box and the main
// window's link label take them from here.

// The maker's site, and its host name as the main window's link label shows it.
constexpr char WebMakerSite[] = "https://www.dremsel.example/";
constexpr char WebMakerHost[] = "www.dremsel.example";

// This program's own page.
constexpr char WebProgramPage[] = "https://www.dremsel.example/tarvolin/";

// The maker's other products, as the about box lists them from top to bottom.
struct TWebProduct
{
    const char* Name;
    const char* Page;
};

constexpr int WebProductCount = 5;
constexpr TWebProduct WebProducts[WebProductCount] = {
    {"Quillbyte - hex viewer for large files", "https://www.dremsel.example/quillbyte/"},
    {"Sandrel - disk space map", "https://www.dremsel.example/sandrel/"},
    {"Pendrow - clipboard history", "https://www.dremsel.example/pendrow/"},
    {"Vantry - on-screen pixel ruler", "https://www.dremsel.example/vantry/"},
    {"Orlik - side-by-side text compare", "https://www.dremsel.example/orlik/"},
};
