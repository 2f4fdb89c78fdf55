#!/usr/bin/env bash
# Fails when docs/openapi.yaml and the HTTP server's code part ways: a method and path the
# router serves that the description lacks or the other way round, a status code the code
# answers on a route that the description does not list (or lists and the code never
# gives), or a route that asks for the token where the description says none (or the
# other way round).
#
# The code is read, not run: the routes come from HttpApi::Route (a block per path, its
# method check, then its handler or its one answer), the paths from the constants of
# HttpApi.h; a route's codes are the status literals of its handler and of every function
# of src/http it calls, plus the guard's (Route's own check), the request head's (before
# the body is read) and the server's (a chunked body too large, before routing). A status
# literal is a number 200..599 given as the first argument of a call, assigned to
# "status" or chosen by "? :".
#   tools/check-openapi.sh [SOURCE_ROOT]
set -uo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root" || exit 2
api_cpp=src/http/HttpApi.cpp
api_h=src/http/HttpApi.h
server_cpp=src/http/HttpServer.cpp
yaml=docs/openapi.yaml
for file in "$api_cpp" "$api_h" "$server_cpp" "$yaml"; do
  [ -f "$file" ] || { echo "check-openapi: $file is missing" >&2; exit 2; }
done

# Source text without comments and with string literals emptied, so that neither a
# number in a message nor a quoted brace counts. (The method names are kept apart first.)
strip() {
  sed -E -e 's://.*$::' -e 's/"([^"\\]|\\.)*"/""/g' "$@"
}

# "NAME VALUE" for each path constant of the header: kReceiptsPath /v1/receipts
constants=$(sed -nE 's/.*(k[A-Za-z]+Path)[[:space:]]*=[[:space:]]*"([^"]*)".*/\1 \2/p' "$api_h")

# The routes of HttpApi::Route, one "METHOD PATH HANDLER" a line; HANDLER is "=CODE" for a
# route answered in place.
routes=$(awk -v constants="$constants" '
  BEGIN {
    n = split(constants, parts, "[ \n]")
    for (i = 1; i + 1 <= n; i += 2) path[parts[i]] = parts[i + 1]
  }
  /^HttpApi::Outcome HttpApi::Route\(/ { inside = 1; depth = 0 }
  !inside { next }
  {
    line = $0
    if (match(line, /const bool [A-Za-z_]+ = request\.path == k[A-Za-z]+Path/)) {
      split(substr(line, RSTART, RLENGTH), w, " ")
      flag[w[3]] = path[w[7]]
    }
    if (match(line, /const std::string [A-Za-z_]+ = k[A-Za-z]+Path \+ "\/"/)) {
      split(substr(line, RSTART, RLENGTH), w, " ")
      prefix[w[3]] = path[w[5]] "/"
    }
    if (match(line, /if \(request\.path == k[A-Za-z]+Path\)/)) {
      w0 = substr(line, RSTART + 20, RLENGTH - 21); current = path[w0]; method = ""
    } else if (match(line, /if \([A-Za-z_]+\) \{/)) {
      w0 = substr(line, RSTART + 4, RLENGTH - 7)
      if (w0 in flag) { current = flag[w0]; method = "" }
    } else if (match(line, /request\.path\.rfind\([A-Za-z_]+, 0\) == 0/)) {
      w0 = substr(line, RSTART + 19, RLENGTH - 19); sub(/,.*/, "", w0)
      current = prefix[w0] "{}"; method = ""
    }
    if (current != "" && match(line, /request\.method != "[A-Z]+"/)) {
      method = substr(line, RSTART + 19, RLENGTH - 20)
    } else if (current != "" && method != "" && line ~ /^[[:space:]]*return /) {
      if (match(line, /return Now\(Make[A-Za-z]+\([0-9]+/)) {
        code = substr(line, RSTART, RLENGTH); sub(/.*\(/, "", code)
        print method, current, "=" code
      } else if (match(line, /return [A-Z][A-Za-z]+\(/)) {
        print method, current, substr(line, RSTART + 7, RLENGTH - 8)
      }
    }
    opened = gsub(/\{/, "{", line); closed = gsub(/\}/, "}", line)
    depth += opened - closed
    if (depth <= 1) { current = ""; method = "" }
    if (depth == 0 && closed > 0) exit
  }
' "$api_cpp")
if [ -z "$routes" ]; then
  echo "check-openapi: no route found in HttpApi::Route ($api_cpp): has its shape changed?" >&2
  exit 2
fi

# "FUNCTION CALLED" and "FUNCTION #CODE" for every function of src/http but the library's
# glue; then the codes of a function and of all it calls. A handler that keeps a manual
# operation for the server (".operation = ") answers, in the end, what RunOperation answers.
graph=$(for file in src/http/*.cpp; do
  case "$file" in "$server_cpp" | src/http/HttpService.cpp) continue ;; esac
  strip "$file"
done | awk '
  function emit(name, body,   rest, token) {
    rest = body
    while (match(rest, /[A-Za-z_][A-Za-z_0-9]*\(/)) {
      token = substr(rest, RSTART, RLENGTH - 1); print name, token
      rest = substr(rest, RSTART + RLENGTH)
    }
    rest = body
    while (match(rest, /(\(|status = |\? |: )[2-5][0-9][0-9][,);: ]/)) {
      token = substr(rest, RSTART, RLENGTH); gsub(/[^0-9]/, "", token); print name, "#" token
      rest = substr(rest, RSTART + RLENGTH - 1)
    }
  }
  /^[A-Za-z].*\(/ && !/^(namespace|using|static_assert)/ && name == "" {
    head = $0; sub(/\(.*/, "", head); n = split(head, w, /[ *&]+/); name = w[n]
    sub(/.*::/, "", name); body = ""; next
  }
  name != "" && /^}/ {
    emit(name, body)
    if (body ~ /\.operation = /) print name, "RunOperation"
    name = ""; next
  }
  name != "" { body = body " " $0 }
')
codes_of() {
  local todo=("$1") seen=" " function
  while [ ${#todo[@]} -gt 0 ]; do
    function="${todo[0]}"; todo=("${todo[@]:1}")
    case "$seen" in *" $function "*) continue ;; esac
    seen+="$function "
    while read -r _ called; do
      case "$called" in
        "#"*) echo "${called#\#}" ;;
        *) todo+=("$called") ;;
      esac
    done < <(awk -v f="$function" '$1 == f' <<<"$graph")
  done | sort -u
}

# The route that needs no token: Route asks the guard with !(FLAG && request.method == "M").
exempt=$(sed -nE 's/.*Refusal\(request, !\(([A-Za-z_]+) && request\.method == "([A-Z]+)"\)\).*/\2 \1/p' \
           "$api_cpp")
if [ -n "$exempt" ]; then
  flag_name=${exempt#* }
  flag_const=$(sed -nE "s/.*const bool $flag_name = request\.path == (k[A-Za-z]+Path).*/\1/p" "$api_cpp")
  exempt="${exempt% *} $(awk -v k="$flag_const" '$1 == k { print $2 }' <<<"$constants")"
elif ! grep -q 'Refusal(request, true)' "$api_cpp"; then
  echo "check-openapi: cannot tell from $api_cpp which routes need the token" >&2
  exit 2
fi

# Codes every route may answer: the guard's, the request head's and the server's own.
everywhere=$( (codes_of Refusal; codes_of HeadRefusal; strip "$server_cpp" |
               sed -nE 's/.*MakeProblem\(([2-5][0-9][0-9]),.*/\1/p') | sort -u)

# The code's side: "METHOD PATH" and "METHOD PATH CODE" lines, the parameter's name given
# as {} (the description's own name counts).
code_side=$(while read -r method route handler; do
  echo "$method $route"
  {
    case "$handler" in
      =*) echo "${handler#=}" ;;
      *) codes_of "$handler" ;;
    esac
    for code in $everywhere; do
      [ "$code" = 401 ] && [ "$method $route" = "$exempt" ] && continue
      echo "$code"
    done
  } | sort -u | sed "s|^|$method $route |"
done <<<"$routes" | sort -u)

# The description's side, from the YAML's layout: paths at two spaces, methods at four,
# their responses' codes at eight; "security: []" at six marks an operation without token.
yaml_side=$(awk '
  /^[^ #]/ { inpaths = ($0 ~ /^paths:/); next }
  !inpaths { next }
  /^  \/[^ ]*:[[:space:]]*$/ { route = $1; sub(/:$/, "", route); gsub(/\{[^}]*\}/, "{}", route); next }
  /^    (get|put|post|delete|options|head|patch|trace):/ {
    method = toupper($1); sub(/:$/, "", method); print method, route; inresponses = 0; next
  }
  /^      responses:/ { inresponses = 1; next }
  /^      security: \[\]/ { print method, route, "open"; next }
  /^      [a-zA-Z]/ { inresponses = 0; next }
  inresponses && /^        "?[1-5][0-9][0-9]"?:/ {
    code = $1; gsub(/[^0-9]/, "", code); print method, route, code
  }
' "$yaml" | sort -u)

failures=0
while read -r method route rest; do
  [ -z "$method" ] && continue
  if [ -z "$rest" ]; then
    echo "$yaml lacks $method $route, which $api_cpp serves" >&2
  else
    echo "$yaml: $method $route lacks status $rest, which the code answers" >&2
  fi
  failures=$((failures + 1))
done < <(comm -23 <(echo "$code_side") <(grep -v ' open$' <<<"$yaml_side"))
while read -r method route rest; do
  [ -z "$method" ] && continue
  if [ -z "$rest" ]; then
    echo "$yaml describes $method $route, which $api_cpp does not serve" >&2
  else
    echo "$yaml: $method $route lists status $rest, which the code never answers there" >&2
  fi
  failures=$((failures + 1))
done < <(comm -13 <(echo "$code_side") <(grep -v ' open$' <<<"$yaml_side"))
open_in_yaml=$(sed -n 's/ open$//p' <<<"$yaml_side")
if [ "$open_in_yaml" != "$exempt" ]; then
  echo "$yaml says \"security: []\" for \"${open_in_yaml:-nothing}\";" \
       "the code asks no token of \"${exempt:-nothing}\"" >&2
  failures=$((failures + 1))
fi

if [ "$failures" -gt 0 ]; then
  echo "check-openapi: $failures difference(s) between $yaml and the code" >&2
  exit 1
fi
echo "check-openapi: $(wc -l <<<"$routes") routes agree"
