#include "app/InstallSettings.h"

using SkinUI::CUIString;

CUIString InstallSettings::installDir;
CUIString InstallSettings::exeName;
CUIString InstallSettings::appName;
CUIString InstallSettings::version;
CUIString InstallSettings::publisher;
CUIString InstallSettings::boxName;
std::string InstallSettings::packageSha256;
long long InstallSettings::packageSize = 0;
std::vector<std::string> InstallSettings::packageUrls;
std::string InstallSettings::reportUrl;
std::vector<std::string> InstallSettings::releaseKeys;
long long InstallSettings::packageVersionFloor = 0;

void InstallSettings::SetDefaults()
{
    installDir = L"C:\\Program Files\\";
    exeName = L"A.exe";
    appName = L"A";
    version = L"1.0.0.0";
    publisher = L"";
    boxName = L"";
}

void InstallSettings::ApplyBoxName(const std::wstring& name)
{
    installDir = (L"C:\\Program Files\\" + name + L"\\").c_str();
    exeName = (name + L".exe").c_str();
    appName = name.c_str();
    version = L"1.0.0.0";
    publisher = L"";
    boxName = name.c_str();
}
