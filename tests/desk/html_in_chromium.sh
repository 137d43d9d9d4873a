#!/bin/sh
# ovdesk's page as Chromium draws it: a support file whose report names a program
# "<script>alert(1)</script>", a rule that fires on it with a web link, and `ovdesk check --html`.
# The page must show the finding with the program's name as text and load and run nothing; the
# screenshot is left in the work folder. (A javascript: link no rules file may hold; the page's
# own tests show that it would stay text.)
# usage: html_in_chromium.sh OVDESK WORKDIR
set -eu
ovdesk=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3

rm -rf "$work"
mkdir -p "$work/files"
sed 's/^"Zeta Tools"\r$/"<script>alert(1)<\/script>"\r/' "$here/../golden/report_long_form.txt" >"$work/files/ovsupport.txt"
if ! grep -q '^"<script>alert(1)</script>"' "$work/files/ovsupport.txt"; then
    echo "the report has no program line to replace" >&2
    exit 1
fi
"$python" - "$work/files/regbackup.reg" <<'EOF'
import sys
text = ('Windows Registry Editor Version 5.00\r\n\r\n'
        '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orlavent]\r\n"Version"="4.10"\r\n\r\n')
open(sys.argv[1], "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
EOF
(cd "$work/files" && zip -q -X ../support.OVSupport ovsupport.txt regbackup.reg)
cat >"$work/rules.toml" <<'EOF'
[[rule]]
id = "PW-TEST-1"
title = "A program with markup in its name"
severity = "warning"
links = ["https://kb.orlavent.example/PW-TEST-1"]
message = "found {program.name}"
when = { program = { name = "<script>*" } }
EOF

# First the check itself: a page that loads and runs things must fail it, for each of them.
cat >"$work/loads.html" <<'PAGE'
<!DOCTYPE html><html><head><meta charset="utf-8"><style>p { background: url(http://127.0.0.1:9/a.png) }</style>
</head><body><p onclick="go()">shown</p><script>var x = 1;</script><img src="http://127.0.0.1:9/b.png">
<a href="javascript:alert(2)">j</a></body></html>
PAGE
if "$python" "$here/browser_check.py" "$work/loads.html" --expect shown --expect hidden 2>"$work/loads.out"; then
    echo "the browser check passed a page that loads and runs things" >&2
    exit 1
fi
for why in "style that loads" "event handler" "<script> element" "<img src=" "href='javascript:" \
    "no Content-Security-Policy" "lacks 'hidden'"; do
    if ! grep -qF "$why" "$work/loads.out"; then
        echo "the browser check did not name: $why" >&2
        cat "$work/loads.out" >&2
        exit 1
    fi
done

# A warning fired: check's exit code is 1.
status=0
"$ovdesk" check "$work/support.OVSupport" --rules "$work/rules.toml" --html "$work/page.html" >"$work/check.out" 2>&1 ||
    status=$?
if [ "$status" -ne 1 ]; then
    echo "ovdesk check exited with $status, not 1 (a warning fired):" >&2
    cat "$work/check.out" >&2
    exit 1
fi
exec "$python" "$here/browser_check.py" "$work/page.html" --expect "PW-TEST-1" \
    --expect "found <script>alert(1)</script>" --screenshot "$work/page.png"
