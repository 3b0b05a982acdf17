#pragma once

namespace owb {

// The pages of the document window's tab strip.
enum DocumentTab { TabText = 0, TabTree = 1, TabStylesheet = 2, TabResult = 3, TabSchema = 4 };

// What moving from one page to another does. The text page is parsed (and the tree rebuilt)
// whenever it or the schema page is left for another page; the stylesheet is applied only
// when the result page is reached from the tree or stylesheet page.
enum class TabAction { None, ParseText, ApplyStylesheet };

TabAction tabChangeAction(int previous, int shown);

} // namespace owb
