// Every list page of the sheet: columns, sort keys, texts and patrol options.
#include <string>

#include "active_tasks_page.h"
#include "addon_pages.h"
#include "catalogue.h"
#include "cookies_page.h"
#include "delayed_page.h"
#include "file_types_page.h"
#include "fileid.h"
#include "hidden_files_page.h"
#include "list_page.h"
#include "recent_page.h"
#include "resource.h"
#include "services_page.h"
#include "startup_page.h"
#include "tasks_page.h"

namespace sentrel {
namespace {

constexpr ColumnDef kStartupColumns[] = {
    {IDS_TITLE, 300}, {IDS_COMMAND, 160}, {IDS_COLUMN_COMPANY, 180}, {IDS_TYPE, 150}, {IDS_FIRST_DETECTED, 200}};
constexpr ColumnDef kDelayColumns[] = {{IDS_TITLE, 350}, {IDS_COMMAND, 300}, {IDS_STATUS, 150}, {IDS_DELAY_TIME, 200}};
constexpr ColumnDef kActiveXColumns[] = {{IDS_MODULE, 300}, {IDS_COMMAND, 200},        {IDS_COLUMN_COMPANY, 200},
                                         {IDS_TYPE, 100},   {IDS_FIRST_DETECTED, 190}, {IDS_CLSID, 250}};
constexpr ColumnDef kIEHelperColumns[] = {
    {IDS_NAME, 300}, {IDS_PROGRAM, 200}, {IDS_COLUMN_COMPANY, 200}, {IDS_TYPE, 90}, {IDS_FIRST_DETECTED, 200}};
constexpr ColumnDef kTaskColumns[] = {
    {IDS_NAME, 280}, {IDS_PROGRAM, 160}, {IDS_COLUMN_COMPANY, 180}, {IDS_NEXT_RUN_TIME, 180}, {IDS_LAST_RUN_TIME, 180}};
constexpr ColumnDef kServiceColumns[] = {{IDS_TITLE, 300}, {IDS_COMMAND, 180}, {IDS_COLUMN_COMPANY, 180},
                                         {IDS_STATUS, 90}, {IDS_STARTUP, 100}, {IDS_FIRST_DETECTED, 200}};
constexpr ColumnDef kActiveTaskColumns[] = {
    {IDS_MODULE, 250}, {IDS_PROGRAM_DESCRIPTION, 350}, {IDS_COLUMN_COMPANY, 200}, {IDS_FIRST_DETECTED, 200}};
// The widest of the two column sets; the page shows the set of its browser.
constexpr ColumnDef kCookieColumns[] = {
    {IDS_DOMAIN_COOKIE_NAME, 400}, {IDS_EXPIRES, 200}, {IDS_PATH, 100}, {IDS_VALUE, 200}, {IDS_SSL, 90}};
constexpr ColumnDef kFileTypeColumns[] = {{IDS_TITLE, 300}, {IDS_COMMAND, 170},  {IDS_COLUMN_COMPANY, 200},
                                          {IDS_CLASS, 120}, {IDS_EXTENSION, 80}, {IDS_TYPE, 100}};
constexpr ColumnDef kHiddenColumns[] = {
    {IDS_MODULE, 230}, {IDS_PATH, 300}, {IDS_FIRST_DETECTED, 200}, {IDS_LAST_WRITTEN, 200}, {IDS_TYPE, 120}};
constexpr ColumnDef kRecentColumns[] = {{IDS_PROGRAM, 300},
                                        {IDS_PROGRAM_DESCRIPTION, 180},
                                        {IDS_COLUMN_COMPANY, 180},
                                        {IDS_TYPE, 120},
                                        {IDS_FIRST_DETECTED, 210}};

constexpr int kStartupButtons[] = {IDC_PAGE_INFO, IDC_PAGE_ADD, IDC_PAGE_REMOVE, IDC_PAGE_ENABLE, IDC_PAGE_CLOSE};
constexpr int kPlainButtons[] = {IDC_PAGE_INFO, IDC_PAGE_CLOSE};
constexpr int kActiveXButtons[] = {IDC_PAGE_INFO, IDC_PAGE_DISABLE, IDC_PAGE_ENABLE, IDC_PAGE_CLOSE};
constexpr int kDelayButtons[] = {IDC_PAGE_INFO,     IDC_PAGE_ADD,      IDC_PAGE_REMOVE,
                                 IDC_DELAY_OPTIONS, IDC_DELAY_RESTORE, IDC_PAGE_CLOSE};
constexpr int kActiveTaskButtons[] = {IDC_PAGE_INFO, IDC_TASKS_REFRESH, IDC_TASKS_KILL, IDC_PAGE_CLOSE};
constexpr int kRemoveButtons[] = {IDC_PAGE_INFO, IDC_PAGE_REMOVE, IDC_PAGE_CLOSE};
constexpr int kAddRemoveButtons[] = {IDC_PAGE_INFO, IDC_PAGE_ADD, IDC_PAGE_REMOVE, IDC_PAGE_CLOSE};
constexpr int kHiddenButtons[] = {IDC_PAGE_INFO,     IDC_HIDDEN_REFRESH,        IDC_HIDDEN_UNHIDE,
                                  IDC_HIDDEN_DELETE, IDC_PAGE_DELETE_ON_REBOOT, IDC_PAGE_CLOSE};
constexpr int kRecentButtons[] = {IDC_RECENT_ACTION, IDC_PAGE_CLOSE};
constexpr int kCookieButtons[] = {IDC_COOKIE_VIEW, IDC_COOKIE_REMOVE_UNCHECKED, IDC_COOKIE_REMOVE_CHECKED,
                                  IDC_PAGE_CLOSE};

#define COLUMNS(set) set, static_cast<int>(sizeof set / sizeof set[0])
#define BUTTONS(set) set, static_cast<int>(sizeof set / sizeof set[0])

const ListPageDef kListPages[] = {
    {IDC_CMD_SHOW_STARTUP, COLUMNS(kStartupColumns), true, kOptSortStartup, 4, true, IDS_STARTUP_INTRO, 0, kOptStart,
     kOptRealtimeStartup, IDS_PATROL_TIME_STARTUP_PROGRAMS, 1, BUTTONS(kStartupButtons), &kStartupPageHooks},
    {IDC_CMD_SHOW_DELAY, COLUMNS(kDelayColumns), true, kOptSortPrograms, 3, true, IDS_DELAY_INTRO, IDS_DELAY_HINT, -1,
     -1, 0, 0, BUTTONS(kDelayButtons), &kDelayedPageHooks},
    {IDC_CMD_SHOW_ACTIVEX, COLUMNS(kActiveXColumns), false, kOptSortActiveX, 5, false, IDS_ACTIVEX_INTRO, 0,
     kOptActiveX, kOptRealtimeActiveX, IDS_PATROL_TIME_ACTIVEX, 1200, BUTTONS(kActiveXButtons), &kActiveXPageHooks},
    {IDC_CMD_SHOW_IE_HELPERS, COLUMNS(kIEHelperColumns), false, kOptSortIEHelper, 4, false, IDS_IE_HELPERS_INTRO,
     IDS_IE_HELPERS_INTRO2, kOptIEHelpers, kOptRealtimeIEHelper, IDS_PATROL_TIME_IE_HELPERS, 900,
     BUTTONS(kRemoveButtons), &kIEHelperPageHooks},
    {IDC_CMD_SHOW_TASKS, COLUMNS(kTaskColumns), false, kOptSortScheduledTask, 4, false, IDS_TASKS_INTRO,
     IDS_TASKS_INTRO2, kOptTasks, -1, IDS_PATROL_TIME_SCHEDULED_TASKS, 0, BUTTONS(kRemoveButtons), &kTasksPageHooks},
    {IDC_CMD_SHOW_SERVICES, COLUMNS(kServiceColumns), true, kOptSortService, 5, false, IDS_SERVICES_INTRO,
     IDS_SERVICES_INTRO2, kOptServices, kOptRealtimeServices, IDS_PATROL_TIME_WINDOWS_SERVICES, 700,
     BUTTONS(kPlainButtons), &kServicesPageHooks},
    {IDC_CMD_SHOW_ACTIVE_TASKS, COLUMNS(kActiveTaskColumns), true, kOptSortActiveTask, 3, false, IDS_ACTIVE_TASKS_INTRO,
     IDS_ACTIVE_TASKS_INTRO2, -1, -1, 0, 600, BUTTONS(kActiveTaskButtons), &kActiveTasksPageHooks},
    {IDC_CMD_SHOW_COOKIES, COLUMNS(kCookieColumns), true, kOptSortCookie, 99, false, IDS_COOKIES_INTRO, 0, kOptNuts, -1,
     IDS_COOKIES_NUTS, 0, BUTTONS(kCookieButtons), &kCookiesPageHooks},
    {IDC_CMD_SHOW_FILE_TYPES, COLUMNS(kFileTypeColumns), true, kOptSortFileType, 4, false, IDS_FILE_TYPES_INTRO,
     IDS_FILE_TYPES_INTRO2, kOptFileType, kOptRealtimeFileType, IDS_PATROL_TIME_FILE_TYPES, 0,
     BUTTONS(kAddRemoveButtons), &kFileTypesPageHooks},
    {IDC_CMD_SHOW_HIDDEN, COLUMNS(kHiddenColumns), true, kOptSortHidden, 99, false, IDS_HIDDEN_INTRO, IDS_HIDDEN_INTRO2,
     kOptHidden, kOptRealtimeHidden, IDS_PATROL_TIME_CHECKING_HIDDEN, 0, BUTTONS(kHiddenButtons),
     &kHiddenFilesPageHooks},
    {IDC_CMD_SHOW_RECENT, COLUMNS(kRecentColumns), false, kOptSortRecent, 4, false, IDS_PAGE_DESIGNED_SPECIFICALLY_HELP,
     IDS_SELECT_PROGRAM_REMOVE_RIGHT, -1, -1, 0, 0, BUTTONS(kRecentButtons), &kRecentPageHooks},
};

}  // namespace

const ListPageDef* FindListPage(UINT command) {
  for (const ListPageDef& page : kListPages)
    if (page.command == command) return &page;
  return nullptr;
}

}  // namespace sentrel
