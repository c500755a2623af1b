#!/bin/sh
# The help pages as a player's browser shows them. Every topic the rooms open (the HELP_ numbers
# they pass to io_help) has its anchor on every page, and every link inside a page has its
# target. Where Chromium is installed (scripts/setup.sh --test installs it), each page is loaded
# at 1024 x 768 and 1920 x 1080: a script added to a copy of the page reports an element wider
# than the window, text smaller than 12 pixels and a topic that scrolling to its anchor does not
# bring to the top of the window (or to the end of the page); and a screenshot of each size is
# written to OUT_DIR for a person to look at.
#   help_pages_test.sh HELP_DIR SOURCE_DIR OUT_DIR
set -eu
help=$1
source=$2
out=$3

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The topics: the HELP_ names each room passes to io_help, and the numbers they stand for there.
for file in "$source"/rooms/*.cpp; do
    for name in $(grep -o 'io_help([^;]*' "$file" | grep -o 'HELP_[A-Z0-9_]*' | sort -u); do
        grep -o "\\b$name = [0-9]*" "$file" | sed 's/.*= //'
    done
done | sort -un >"$tmp/topics"
[ "$(wc -l <"$tmp/topics")" -ge 5 ] || fail "found only $(wc -l <"$tmp/topics") help topics in rooms/*.cpp"
ids=$(sed 's/^/topic-/' "$tmp/topics" | tr '\n' ' ')

pages=$(cd "$help" && find . -name '*.html' | sed 's|^\./||' | sort)
[ -n "$pages" ] || fail "no help pages in $help"
for page in $pages; do
    for id in $ids; do
        grep -q "id=\"$id\"" "$help/$page" || fail "$page has no anchor $id"
    done
    for target in $(grep -o 'href="#[^"]*"' "$help/$page" | sed 's/href="#\(.*\)"/\1/' | sort -u); do
        grep -q "id=\"$target\"" "$help/$page" || fail "$page links to #$target, which it lacks"
    done
    ! grep -Eq '(src|href)="(https?:)?//' "$help/$page" || fail "$page loads something from the network"
done

browser=$(command -v chromium || true)
if [ -z "$browser" ]; then
    echo "chromium is missing: the pages were not shown in a browser (scripts/setup.sh --test installs it)"
    [ "$failures" -eq 0 ] || exit 1
    exit 0
fi

# The probe, added to a copy of each page before its end.
quoted=$(for id in $ids; do printf "'%s'," "$id"; done)
cat >"$tmp/probe.js" <<EOF
<script>
window.addEventListener('load', function () {
  var out = [], root = document.documentElement, width = root.clientWidth;
  if (root.scrollWidth > width) out.push('the page is ' + root.scrollWidth + ' pixels wide in ' + width);
  var all = document.body.getElementsByTagName('*');
  for (var i = 0; i < all.length; i++) {
    var e = all[i], r = e.getBoundingClientRect(), name = '<' + e.tagName.toLowerCase() + (e.id ? ' id=' + e.id : '') + '>';
    if (r.width > 0 && (r.left < -0.5 || r.right > width + 0.5))
      out.push('outside the window: ' + name + ' from ' + Math.round(r.left) + ' to ' + Math.round(r.right));
    if (e.scrollWidth > e.clientWidth + 1 && getComputedStyle(e).overflowX === 'visible' && e.clientWidth > 0)
      out.push('content wider than its box: ' + name);
    for (var n = e.firstChild; n; n = n.nextSibling) {
      if (n.nodeType !== 3 || !n.data.trim()) continue;
      var size = parseFloat(getComputedStyle(e).fontSize);
      if (size < 12) out.push('text of ' + size + ' pixels in ' + name);
      break;
    }
  }
  var end = root.scrollHeight - window.innerHeight;
  [${quoted}].forEach(function (id) {
    var t = document.getElementById(id);
    if (!t) { out.push('no anchor ' + id); return; }
    t.scrollIntoView();
    var r = t.getBoundingClientRect(), atEnd = Math.abs(window.scrollY - end) <= 1;
    if (r.height <= 0 || r.top < -1 || (r.top > 40 && !(atEnd && r.bottom <= window.innerHeight)))
      out.push('scrolling to ' + id + ' leaves it at ' + Math.round(r.top));
  });
  var pre = document.createElement('pre');
  pre.id = 'probe-result';
  pre.textContent = 'probed\n' + out.join('\n') + '\n';
  document.body.appendChild(pre);
});
</script>
EOF

mkdir -p "$out"
cp -r "$help" "$tmp/pages"
for page in $pages; do
    probe=$tmp/pages/$page.probe.html
    awk -v probe="$tmp/probe.js" '
        /<\/body>/ && !done { while ((getline line < probe) > 0) print line; done = 1 }
        { print }
        END { if (!done) while ((getline line < probe) > 0) print line }' "$tmp/pages/$page" >"$probe"
    for size in 1024x768 1920x1080; do
        w=${size%x*}
        h=${size#*x}
        run() {
            timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
                --disable-background-networking --disable-component-update --disable-sync \
                --user-data-dir="$(mktemp -d -p "$tmp")" --window-size="$w,$h" --virtual-time-budget=3000 "$@"
        }
        run --dump-dom "file://$probe" >"$tmp/dom" 2>"$tmp/browser.log" || {
            tail -n 5 "$tmp/browser.log" >&2
            fail "chromium could not load $page at $size"
            continue
        }
        sed -n '/<pre id="probe-result">/,/<\/pre>/p' "$tmp/dom" | sed -e 's/<[^>]*>//g' -e 's/&lt;/</g' -e 's/&gt;/>/g' -e 's/&amp;/\&/g' -e '/^$/d' >"$tmp/result"
        grep -qx probed "$tmp/result" || fail "the probe did not run on $page at $size"
        grep -vx probed "$tmp/result" | while IFS= read -r finding; do
            echo "FAIL: $page at $size: $finding" >&2
        done
        [ "$(grep -cvx probed "$tmp/result")" -eq 0 ] || failures=$((failures + 1))

        shot=$out/${page%.html}-$size.png
        rm -f "$shot"
        run --screenshot="$shot" "file://$help/$page" >/dev/null 2>"$tmp/browser.log" || true
        if [ ! -s "$shot" ]; then
            tail -n 5 "$tmp/browser.log" >&2
            fail "chromium made no screenshot of $page at $size"
            continue
        fi
        ihdr=$(od -An -tx1 -j12 -N12 "$shot" | tr -d ' \n')
        [ "$ihdr" = "$(printf '49484452%08x%08x' "$w" "$h")" ] || fail "$shot is not a $size PNG ($ihdr)"
    done
done

[ "$failures" -eq 0 ] || exit 1
echo "help pages: $(echo "$pages" | wc -w) page(s), topics $(tr '\n' ' ' <"$tmp/topics")checked; screenshots in $out"
