#!/usr/bin/python3
"""Checks one of ovdesk's pages as a real browser reads it.

usage: browser_check.py PAGE.html --expect TEXT [--expect TEXT ...] [--screenshot OUT.png]

Debian's Chromium renders the page headless and dumps the DOM it built; the check fails (exit 1,
saying why) unless each expected text is in the page's text, the page's policy lets it load
nothing, and no element could load anything or run anything: no script, frame, object, embed,
link, image but a data: one, no src/srcset/poster/action attribute, no event handler, no href but
a web link's, no url( or @import in a style. With --screenshot it also saves what Chromium drew.
The browser is $OST_CHROMIUM, else chromium on the PATH.
"""
import argparse, html.parser, os, re, shutil, subprocess, sys, tempfile

POLICY = "default-src 'none'; style-src 'unsafe-inline'; img-src data:"
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]
LOADERS = {"script", "iframe", "frame", "frameset", "object", "embed", "link", "base", "applet", "portal"}
LOADING_ATTRIBUTES = {"src", "srcset", "poster", "action", "formaction", "background", "data", "ping",
                      "manifest", "codebase", "xlink:href"}
STYLE_LOADS = re.compile(r"url\s*\(|@import|expression\s*\(", re.I)


class PageDom(html.parser.HTMLParser):
    """The page's text and everything in its markup that could load or run something."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.text, self.problems, self.policy, self.in_style = [], [], None, False

    def handle_starttag(self, tag, attrs):
        if tag in LOADERS:
            self.problems.append(f"a <{tag}> element")
        if tag == "style":
            self.in_style = True
        for name, value in attrs:
            value = value or ""
            if name in LOADING_ATTRIBUTES and not (tag == "img" and name == "src" and value.startswith("data:")):
                self.problems.append(f"<{tag} {name}={value!r}>")
            elif name.startswith("on"):
                self.problems.append(f"an event handler <{tag} {name}=...>")
            elif name == "href" and not (tag == "a" and re.match(r"https?://", value, re.I)):
                self.problems.append(f"<{tag} href={value!r}>")
            elif name == "style" and STYLE_LOADS.search(value):
                self.problems.append(f"a style attribute that loads: {value!r}")
        attributes = {name: (value or "") for name, value in attrs}
        if tag == "meta" and attributes.get("http-equiv", "").lower() == "content-security-policy":
            self.policy = attributes.get("content")
        if tag == "meta" and attributes.get("http-equiv", "").lower() == "refresh":
            self.problems.append("a <meta http-equiv=refresh>")

    def handle_endtag(self, tag):
        if tag == "style":
            self.in_style = False

    def handle_data(self, data):
        if self.in_style:
            if STYLE_LOADS.search(data):
                self.problems.append(f"a style that loads: {STYLE_LOADS.search(data).group(0)!r}")
        else:
            self.text.append(data)


def chromium(browser, page, *extra):
    """Runs the browser on the page with a fresh profile; returns its standard output."""
    with tempfile.TemporaryDirectory(prefix="browser-check-") as profile:
        command = [browser, *FLAGS, f"--user-data-dir={profile}", *extra, "file://" + os.path.abspath(page)]
        try:
            run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=180,
                                 env={**os.environ, "HOME": profile})
        except subprocess.TimeoutExpired:
            raise SystemExit(f"{page}: chromium did not finish in 180 s")
    if run.returncode != 0:
        tail = run.stderr.decode("utf-8", "replace").strip().splitlines()[-5:]
        raise SystemExit(f"{page}: chromium exited with {run.returncode}:\n  " + "\n  ".join(tail))
    return run.stdout.decode("utf-8", "replace")


def words(text):
    return " ".join(text.split())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("page")
    parser.add_argument("--expect", action="append", default=[], metavar="TEXT")
    parser.add_argument("--screenshot", metavar="OUT.png")
    args = parser.parse_args()
    browser = os.environ.get("OST_CHROMIUM") or shutil.which("chromium")
    if not browser or not os.access(browser, os.X_OK):
        print(f"no Chromium to render the page with ({browser or 'chromium is not on the PATH'}): "
              "install Debian's chromium (scripts/test does)", file=sys.stderr)
        return 1
    if not os.path.isfile(args.page):
        print(f"{args.page}: no such page", file=sys.stderr)
        return 1

    dom_text = chromium(browser, args.page, "--dump-dom")
    if not dom_text.strip():
        print(f"{args.page}: chromium dumped an empty DOM", file=sys.stderr)
        return 1
    dom = PageDom()
    dom.feed(dom_text)
    dom.close()
    problems = list(dom.problems)
    if dom.policy is None:
        problems.append("no Content-Security-Policy meta")
    elif words(dom.policy) != POLICY:
        problems.append(f"the Content-Security-Policy is {dom.policy!r}, not {POLICY!r}")
    text = words("".join(dom.text))
    problems += [f"the page's text lacks {expected!r}" for expected in args.expect if words(expected) not in text]

    if args.screenshot:
        if os.path.exists(args.screenshot):
            os.remove(args.screenshot)
        chromium(browser, args.page, "--hide-scrollbars", "--window-size=1200,1600",
                 f"--screenshot={os.path.abspath(args.screenshot)}")
        if not os.path.isfile(args.screenshot) or os.path.getsize(args.screenshot) == 0:
            problems.append(f"chromium took no screenshot into {args.screenshot}")

    for problem in problems:
        print(f"{args.page}: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"{args.page}: {len(args.expect)} expected texts found, nothing loads"
          + (f", screenshot in {args.screenshot}" if args.screenshot else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
