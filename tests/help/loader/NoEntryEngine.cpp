// A library that looks like a help engine but lacks its entry point "HtmlHelpA".
extern "C" __attribute__((visibility("default"))) int HtmlHelpW() {
    return 0;
}
