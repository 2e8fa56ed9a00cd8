// Benchmark: installs 200 services through the Service Control Manager (own
// programs and svchost-hosted libraries of the system folder, each with a
// version resource), builds the baseline, then times the monitor's services
// check over known services against a floor measured in the same run: the
// bare reads of the same data (the services key walk with each service's
// values, a display name from the manager per service, the version resource
// of each program when Microsoft's services are hidden, the baseline value of
// each). Prints the figures for both settings of HideMicrosoftServices.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "bench_services.h"
#include "catalogue.h"
#include "fileid.h"
#include "monitor.h"
#include "registry.h"
#include "services.h"
#include "services_check.h"
#include "settings.h"
#include "strings.h"

using namespace sentrel;
using namespace sentrel_bench;

namespace {

const char* const kOptionsKey = "Software\\Orvane Works\\Sentrel\\Options";

// The bare reads of what a full check reads.
int Floor(bool versions) {
  int reads = 0;
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
  RegKey services, baseline;
  services.Open(HKEY_LOCAL_MACHINE, kServicesKey, KEY_READ);
  baseline.Open(HKEY_CURRENT_USER, kServicesBaselineKey, KEY_READ);
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(services.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    RegKey service;
    if (service.Open(services.get(), name, KEY_READ) != ERROR_SUCCESS) continue;
    char command[1024], text[1024];
    if (ReadStringValueFrom(service.get(), "ImagePath", command, sizeof command) == 0) continue;
    std::string path = command;
    if (ContainsText(command, "svchost")) {
      RegKey parameters;
      parameters.Open(service.get(), "Parameters", KEY_READ);
      if (ReadStringValueFrom(parameters.get(), "ServiceDll", text, sizeof text) > 0) path = text;
    } else if (!ContainsText(command, ".exe")) {
      continue;
    }
    char display[4096];
    DWORD size = sizeof display;
    if (!GetServiceDisplayNameA(manager, name, display, &size))
      ReadStringValueFrom(service.get(), "DisplayName", display, sizeof display);
    ReadStringValueFrom(service.get(), "Description", text, sizeof text);
    DWORD start = 0, type = 0, bytes = sizeof start;
    RegQueryValueExA(service.get(), "Start", nullptr, &type, reinterpret_cast<BYTE*>(&start), &bytes);
    if (versions) {
      VersionFields fields;
      ReadVersionInfo(NormalizeFilePath(path.c_str()).c_str(), fields);
    }
    ReadStringValueFrom(baseline.get(), display, text, sizeof text);
    ++reads;
  }
  CloseServiceHandle(manager);
  return reads;
}

struct Figures {
  int listed = 0, reads = 0;
  double floor = 1e9, full = 1e9, quiet = 1e9;
};

Figures Measure(bool hideMicrosoft) {
  WriteStringValue(HKEY_CURRENT_USER, kOptionsKey, "HideMicrosoftServices", hideMicrosoft ? "1" : "0");
  DeleteKeyTree(HKEY_CURRENT_USER, kServicesBaselineKey);
  CreateServicesBaseline();
  Figures figures;
  figures.listed = EnumerateServices(ServiceListing::Full);
  for (int round = 0; round < 5; ++round) {
    LARGE_INTEGER start = BenchNow();
    figures.reads = Floor(hideMicrosoft);
    LARGE_INTEGER middle = BenchNow();
    ForgetServicesSignature();
    CheckForNewServices();  // lists in full, all known
    LARGE_INTEGER end = BenchNow();
    CheckForNewServices();  // nothing changed since: the cheap pass only
    LARGE_INTEGER after = BenchNow();
    figures.floor = std::min(figures.floor, BenchSeconds(start, middle));
    figures.full = std::min(figures.full, BenchSeconds(middle, end));
    figures.quiet = std::min(figures.quiet, BenchSeconds(end, after));
  }
  return figures;
}

}  // namespace

int main() {
  Process().kind = ProgramKind::Monitor;
  InitLanguageId();
  LoadOptions();
  const int made = Plant();
  std::printf("services planted: %d of %d\n", made, kServices);
  bool met = made == kServices;
  for (bool hide : {true, false}) {
    const Figures f = Measure(hide);
    std::printf("HideMicrosoftServices %d: %d services listed (floor read %d)\n", hide ? 1 : 0, f.listed, f.reads);
    std::printf("  floor %.3f s; full check %.3f s, ratio %.2f; unchanged services %.3f s, ratio %.2f (goal 1.5)\n",
                f.floor, f.full, f.full / f.floor, f.quiet, f.quiet / f.floor);
    met = met && f.quiet <= 1.5 * f.floor && f.full <= 1.5 * f.floor;
  }
  Clean();
  std::printf("%s\n", met ? "goals met" : "GOALS NOT MET");
  return met ? 0 : 2;
}
