#pragma once

// Parsing XML text with TinyXML without letting it read past the text's end.
//
// TinyXML 2.6 steps over a whole UTF-8 sequence once it has seen a lead byte, even when
// the terminating NUL is inside that sequence, and then goes on parsing whatever memory
// follows (found by fuzzing the profile reader: a heap overflow read). Every parse of
// text from outside (files, the network) should go through here, never through
// TiXmlDocument::Parse on a plain string or TiXmlDocument::LoadFile.

#include <string_view>
#include <tinyxml.h>

// Parses `text` (it need not be NUL-terminated) into `doc`, replacing what it held.
// Returns whether the text was well-formed. `encoding` is TinyXML's: the default follows
// the text's declaration.
bool ParseXmlText(TiXmlDocument& doc, std::string_view text,
                  TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING);
