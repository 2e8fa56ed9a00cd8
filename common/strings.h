// The string loader and the language of the user interface: every
// user-visible text comes through LoadText.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace sentrel {

// Primary language id of a language code from string 634; 0 when unknown.
WORD LanguageIdOfCode(const char* code);
// Fixes the process's language id from the program's own string 634.
void InitLanguageId();

// Translated text (HKLM LString<id>) when the language is not English,
// else the string table. A negative or zero capacity only measures.
int LoadText(UINT id, char* dest, int capacity);
std::string LoadText(UINT id);

// A loaded text with each "%s" replaced by the next argument, in order.
// Texts may come from translations, so they are never used as printf formats.
std::string FillText(const std::string& text, std::initializer_list<std::string> arguments);

// The program caption (string 2), at most 31 characters.
std::string ProgramCaption();
// The ANSI form of a name as a baseline knows it: each character the code
// page holds only as a best fit ("\x0141" read as "L", another name's
// letter) is written "?" and its code, which no registry or file name holds.
std::string ExactAnsiForm(const std::wstring& text);

// A topmost message box with the program caption in the user's language.
int ShowMessage(HWND owner, const char* text, UINT flags);
int ShowMessageId(HWND owner, UINT id, UINT flags);

}  // namespace sentrel
