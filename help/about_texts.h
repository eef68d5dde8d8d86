#pragma once
// The texts of the about dialog and the version-information window: the
// licence terms and the version texts, one per interface language.
//
// The German licence terms are the binding ones. The English licence text is
// an English heading and a note saying so, followed by the same German
// terms. Each version text starts with a heading framed by lines of "="
// that names the program and its version (1.0 in German, 1.2 in English),
// then two lists of changes whose items begin with "+": the latest changes
// and further changes.
//
// Lines are separated by "\n"; the texts are UTF-8.

#include <cstdint>
#include <string>

// The German licence terms (Memo1 of the about dialog).
const std::string& LicenceTextGerman();
// The licence text for English users (Memo2): heading, note, German terms.
const std::string& LicenceTextEnglish();

// The German version text, version 1.0 (Memo1 of the version window).
const std::string& VersionTextGerman();
// The English version text, version 1.2 (Memo2).
const std::string& VersionTextEnglish();

// The text for an interface language: German for 1, English otherwise, as
// the licence button and the version command choose.
const std::string& LicenceText(int32_t language);
const std::string& VersionText(int32_t language);
