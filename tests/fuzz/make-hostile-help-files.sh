#!/bin/sh
# Writes the hostile help files that once froze or exhausted the viewer, compiled by chmcmd and
# repaired like the program's own help file: a page of a million nested <div> and one of a million
# nested <p>, contents of 10,000 entries and of 312,738 entries (50 MB), and one entry with a
# 50 MB name. They are made here rather than kept in the repository, for their size.
# Usage: make-hostile-help-files.sh OUTPUT_DIR REPAIR_TOOL
set -eu
out=$1
repair=$2
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

page='<html><head><title>Page</title></head><body><p>Une page.</p></body></html>'

# compile NAME CONTENTS_GENERATOR [PAGE_GENERATOR]: index.htm is the page, the contents name it.
compile() {
    name=$1
    dir=$work/$name
    mkdir -p "$dir"
    if [ $# -ge 3 ]; then $3 >"$dir/index.htm"; else echo "$page" >"$dir/index.htm"; fi
    $2 >"$dir/contents.hhc"
    printf '[OPTIONS]\nCompiled file=%s.chm\nContents file=contents.hhc\nDefault topic=index.htm\nTitle=%s\n\n[FILES]\nindex.htm\n' \
        "$name" "$name" >"$dir/$name.hhp"
    # chmcmd reads the pages recursively: a million nested tags need a stack without a limit.
    (cd "$dir" && ulimit -s unlimited && chmcmd --verbosity 0 "$name.hhp" >/dev/null 2>&1)
    "$repair" "$dir/$name.chm"
    mv "$dir/$name.chm" "$out/"
    rm -rf "$dir"
}

entries() {
    awk -v n="$1" 'BEGIN {
        print "<UL>"
        for (i = 1; i <= n; i++)
            printf "<LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Rubrique %06d du sommaire\"><param name=\"Local\" value=\"index.htm\"></OBJECT>\n", i
        print "</UL>"
    }'
}
small_contents() { entries 1; }
wide_contents() { entries 10000; }
big_contents() { entries 312738; }
long_name() {
    printf '<UL><LI> <OBJECT type="text/sitemap"><param name="Name" value="'
    head -c 52428800 /dev/zero | tr '\0' 'a'
    printf '"><param name="Local" value="index.htm"></OBJECT></UL>\n'
}
nested() {
    awk -v tag="$1" -v closed="$2" 'BEGIN {
        printf "<html><head><title>Profond</title></head><body>"
        for (i = 0; i < 1000000; i++) printf "<%s>", tag
        printf "x"
        if (closed) for (i = 0; i < 1000000; i++) printf "</%s>", tag
        print "</body></html>"
    }'
}
deep_div() { nested div 1; }
deep_p() { nested p 0; }

compile deep-div small_contents deep_div
compile deep-p small_contents deep_p
compile wide-contents wide_contents
compile big-contents big_contents
compile long-name long_name
