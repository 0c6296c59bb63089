#!/usr/bin/env bash
# The catalogues against a template freshly gathered from the sources: every
# language of LINGUAS has one; merged with the template, each holds every
# text the sources mark, none fuzzy or untranslated, none the sources no
# longer have, its formats agreeing with the texts' (msgfmt --check). The
# French catalogue gives the game's own texts exactly as they are written, so
# that a French player sees them as a player with no catalogue does.
# Usage: check-catalogues.sh TEMPLATE PO_DIR
set -euo pipefail
template=$1 po=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8 LANGUAGE=

[ -s "$template" ] || { echo "check-catalogues: no template $template" >&2; exit 2; }
texts=$(msgattrib --no-obsolete "$template" | grep -c '^msgid ' || true)
echo "template: $((texts - 1)) texts"

for lang in $(sed 's/#.*//' "$po/LINGUAS"); do
  catalogue="$po/$lang.po"
  [ -f "$catalogue" ] || { fail "$lang: no catalogue $lang.po"; continue; }
  merged="$work/$lang.po"
  msgmerge --quiet -o "$merged" "$catalogue" "$template"
  statistics=$(msgfmt --check --statistics -o /dev/null "$merged" 2>&1) || fail "$lang: msgfmt --check: $statistics"
  echo "$lang: $statistics"
  grep -Eq 'fuzzy|untranslated' <<<"$statistics" && fail "$lang: texts without a translation: $statistics"
  obsolete=$(msgattrib --only-obsolete --no-wrap "$merged" | grep '^#~ msgid' || true)
  [ -z "$obsolete" ] || fail "$lang: entries for texts the sources no longer have: $obsolete"
done

# The program's texts (their sources under game/) in the French catalogue.
msggrep --location='game/*' "$work/fr.po" | msgexec -i - sh -c '
  [ -n "$MSGEXEC_MSGID" ] || exit 0
  want=$MSGEXEC_MSGID
  [ "${MSGEXEC_PLURAL_FORM:-0}" -gt 0 ] && want=$MSGEXEC_MSGID_PLURAL
  [ "$(cat)" = "$want" ] || echo "$MSGEXEC_MSGID"' >"$work/french"
[ ! -s "$work/french" ] || fail "fr: the game's own texts differ from the source: $(cat "$work/french")"

[ "$failures" -eq 0 ] && echo "catalogues OK"
[ "$failures" -eq 0 ]
