#!/bin/bash
# End to end: a private cupsd prints to the capture printer's raw port. Every
# job must arrive whole in a spool file of its own (from "%!PS" through the
# last "%%EOF", every page there) and CUPS must report every job completed,
# none held for retry.
#
# The capture runs in the command-line host (corvafax-send --capture), whose
# activation installs the capture printer through the private cupsd and opens
# the capture port; a second activation must find the printer and say nothing.
# A job of two files with a long pause between them must arrive whole, and a
# second queue printing to the port meanwhile must be captured too.
# A host that finds the port taken must say that it is not listening, and
# listen once the port is free.
#
# Usage: cups-capture.sh CORVAFAX_SEND SIMULATOR
# Exits 77 (skipped) when not root or when the CUPS tools are missing.
# KEEP_WORK=1 keeps the work folder for inspection.

set -u
export PATH=$PATH:/usr/sbin:/sbin
export LC_ALL=C

SKIP=77
SEND=${1:?usage: cups-capture.sh CORVAFAX_SEND SIMULATOR}
SIMULATOR=${2:?usage: cups-capture.sh CORVAFAX_SEND SIMULATOR}
# shellcheck source=../e2e/e2e-common.sh
source "$(dirname "$0")/../e2e/e2e-common.sh"

if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: needs root: adding a queue with lpadmin needs root or group lpadmin, and cupsd runs its filters as lp"
    exit $SKIP
fi
for tool in cupsd lpadmin lp lpstat gs ps2pdf; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (packages cups, cups-client, cups-filters, ghostscript)"
        exit $SKIP
    fi
done

WORK=$(mktemp -d /tmp/kestrel-cups.XXXXXX)
# cupsd's filters run as lp and read the job files under the work folder.
chmod 755 "$WORK"
CUPSD_PID=
HOST_PID=
HOST2_PID=
SIM_PID=
FAILED=0

cleanup() {
    stop_pid "$HOST2_PID"
    stop_pid "$HOST_PID"
    stop_pid "$SIM_PID"
    stop_pid "$CUPSD_PID"
    if ((FAILED)) && [[ -f $WORK/log/error_log ]]; then
        echo "--- cupsd error_log (last lines)"
        tail -n 40 "$WORK/log/error_log"
        echo "--- capture host stderr"
        cat "$WORK/host.err" 2>/dev/null
        [[ -f $WORK/host2.err ]] && echo "--- second capture host stderr" && cat "$WORK/host2.err"
    fi
    if [[ ${KEEP_WORK:-} == 1 ]]; then
        echo "work folder kept: $WORK"
    else
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    FAILED=1
}

# --- private cupsd: all state under $WORK, clients through a domain socket
mkdir -p "$WORK"/{conf/ppd,conf/ssl,state,cache,spool/tmp,log,spoolfiles}
sed -e '/^Listen /d' -e '/^Port /d' -e '/^Browsing /d' -e '/^BrowseLocalProtocols /d' \
    -e '/^LogLevel /d' -e '/^IdleExitTimeout /d' \
    /usr/share/cups/cupsd.conf.default >"$WORK/conf/cupsd.conf"
cat >>"$WORK/conf/cupsd.conf" <<EOF
Listen $WORK/cups.sock
Browsing No
LogLevel info
EOF
cat >"$WORK/conf/cups-files.conf" <<EOF
ServerRoot $WORK/conf
StateDir $WORK/state
CacheDir $WORK/cache
RequestRoot $WORK/spool
TempDir $WORK/spool/tmp
AccessLog $WORK/log/access_log
ErrorLog $WORK/log/error_log
PageLog $WORK/log/page_log
Printcap $WORK/printcap
SystemGroup root
EOF
export CUPS_SERVER=$WORK/cups.sock
export CUPS_STATEDIR=$WORK/state

cupsd -f -c "$WORK/conf/cupsd.conf" -s "$WORK/conf/cups-files.conf" \
    >"$WORK/log/cupsd.out" 2>&1 </dev/null &
CUPSD_PID=$!
for ((i = 0; i < 100; i++)); do
    lpstat -r 2>/dev/null | grep -q 'is running' && break
    if ! kill -0 "$CUPSD_PID" 2>/dev/null; then
        CUPSD_PID=
        FAILED=1
        echo "FAIL: cupsd exited at start"
        cat "$WORK/log/cupsd.out"
        exit 1
    fi
    sleep 0.1
done
lpstat -r | grep -q 'is running' || {
    fail "cupsd did not come up within 10 s"
    exit 1
}

# --- the appliance's pages, which activation asks for
start_simulator "$SIMULATOR" "$WORK/appliance" 0 0 || {
    fail "the appliance simulator did not start"
    exit 1
}
HTTP_PORT=$SIM_HTTP_PORT
export KESTREL_HTTP_PORT=$HTTP_PORT

# start_host PORT: runs the capture host on PORT; true once it listens.
start_host() {
    # The files go before the start: the shell opens them in the background,
    # and a grep that ran first would read the previous host's lines.
    rm -f "$WORK/host.err"
    : >"$WORK/host.out"
    KESTREL_PRINT_PORT=$1 TEMP=$WORK/spoolfiles "$SEND" --capture --appliance 127.0.0.1 --printer kestrel --debug \
        >"$WORK/host.out" 2>"$WORK/host.err" </dev/null &
    HOST_PID=$!
    for ((i = 0; i < 100; i++)); do
        grep -q 'in attesa di stampe' "$WORK/host.err" 2>/dev/null && break
        kill -0 "$HOST_PID" 2>/dev/null || break
        sleep 0.1
    done
    grep -q 'in attesa di stampe' "$WORK/host.err" && ! grep -q 'Printer Socket Error' "$WORK/host.err"
}

# --- the capture host, on a free port of 127.0.0.1; its activation installs
# the queue (lpadmin runs detached, against the private cupsd)
PORT=
for ((attempt = 0; attempt < 20; attempt++)); do
    candidate=$((20000 + RANDOM % 40000))
    if start_host "$candidate"; then
        PORT=$candidate
        break
    fi
    stop_pid "$HOST_PID"
    HOST_PID=
    # An installation started by a failed attempt must not linger.
    lpadmin -x kestrel 2>/dev/null
done
[[ -n $PORT ]] || {
    fail "the capture host did not start listening: $(cat "$WORK/host.err")"
    exit 1
}
# The print system is asked in the background: the announcement may follow
# the port's opening.
for ((i = 0; i < 100; i++)); do
    grep -q '^Installo la stampante kestrel su ' "$WORK/host.err" && break
    sleep 0.1
done
grep -q '^Installo la stampante kestrel su ' "$WORK/host.err" ||
    fail "activation did not announce the printer installation: $(cat "$WORK/host.err")"
for ((i = 0; i < 100; i++)); do
    lpstat -e 2>/dev/null | grep -qx kestrel && break
    sleep 0.1
done
lpstat -e 2>/dev/null | grep -qx kestrel || {
    fail "the capture printer was not installed: $(cat "$WORK/host.err")"
    exit 1
}
lpstat -v kestrel | grep -q "socket://127.0.0.1:$PORT" || fail "the queue does not print to the capture port: $(lpstat -v kestrel)"

# --- the documents
DOCS=$WORK/docs
mkdir -p "$DOCS"
# make_postscript FILE PAGES TITLE: a PostScript document of PAGES pages.
make_postscript() {
    local file=$1 pages=$2 title=$3 p
    {
        printf '%%!PS-Adobe-3.0\n%%%%Title: %s\n%%%%Pages: %d\n%%%%EndComments\n' "$title" "$pages"
        printf '/Helvetica findfont 24 scalefont setfont\n'
        for ((p = 1; p <= pages; p++)); do
            printf '%%%%Page: %d %d\n72 720 moveto (%s page %d) show\nshowpage\n' "$p" "$p" "$title" "$p"
        done
        printf '%%%%EOF\n'
    } >"$file"
}
make_postscript "$DOCS/three.ps" 3 "Kestrel PDF"
ps2pdf "$DOCS/three.ps" "$DOCS/three.pdf" || {
    fail "ps2pdf failed"
    exit 1
}
make_postscript "$DOCS/one.ps" 1 "Kestrel single"
# Two pages of text, split by a form feed.
{
    for ((l = 1; l <= 20; l++)); do echo "Kestrel text page 1 line $l"; done
    printf '\f'
    for ((l = 1; l <= 20; l++)); do echo "Kestrel text page 2 line $l"; done
} >"$DOCS/text.txt"
# Two pages; the first embeds an EPS that carries its own "%%EOF".
{
    printf '%%!PS-Adobe-3.0\n%%%%Title: Kestrel EPS\n%%%%Pages: 2\n%%%%EndComments\n'
    printf '%%%%Page: 1 1\n/Helvetica findfont 24 scalefont setfont\n72 720 moveto (Page with a figure) show\n'
    printf 'save /showpage {} def 100 300 translate\n%%%%BeginDocument: figure.eps\n'
    printf '%%!PS-Adobe-3.0 EPSF-3.0\n%%%%BoundingBox: 0 0 200 200\n%%%%EndComments\n'
    printf 'newpath 0 0 moveto 200 0 lineto 200 200 lineto closepath 0.5 setgray fill\n%%%%EOF\n'
    printf '%%%%EndDocument\nrestore\nshowpage\n'
    printf '%%%%Page: 2 2\n/Helvetica findfont 24 scalefont setfont\n72 720 moveto (After the figure) show\nshowpage\n'
    printf '%%%%EOF\n'
} >"$DOCS/figure.ps"

# --- print everything first (each job takes seconds to reach the port)
declare -a JOBS NAMES PAGES
submit() {
    local pages=$1 name=$2 out id
    shift 2
    out=$(lp -d kestrel -t "$name" "$@" 2>&1) || {
        fail "lp $*: $out"
        return 1
    }
    id=$(sed -n 's/^request id is \(kestrel-[0-9]*\).*/\1/p' <<<"$out")
    [[ -n $id ]] || {
        fail "lp gave no request id: $out"
        return 1
    }
    JOBS+=("$id")
    NAMES+=("$name")
    PAGES+=("$pages")
}
submit 3 pdf "$DOCS/three.pdf"
submit 2 text "$DOCS/text.txt"
submit 2 eps "$DOCS/figure.ps"
submit 4 two-files "$DOCS/one.ps" "$DOCS/three.pdf"
((FAILED)) && exit 1

# --- then wait for all: a spool file per job, and nothing left in the queue
for ((i = 0; i < 2400; i++)); do
    spools=$(grep -c . "$WORK/host.out")
    if ((spools >= ${#JOBS[@]})) && [[ -z $(lpstat -o 2>/dev/null) ]]; then
        break
    fi
    kill -0 "$HOST_PID" 2>/dev/null || {
        fail "the capture host exited"
        exit 1
    }
    sleep 0.1
done

mapfile -t SPOOLS < <(grep . "$WORK/host.out")
if ((${#SPOOLS[@]} != ${#JOBS[@]})); then
    fail "${#JOBS[@]} jobs printed, ${#SPOOLS[@]} spool files"
fi
if grep -q 'Printer Spool Error' "$WORK/host.err"; then
    fail "capture reported: $(grep 'Printer Spool Error' "$WORK/host.err")"
fi
pending=$(lpstat -o 2>/dev/null)
[[ -z $pending ]] || fail "jobs still queued or held: $pending"

completed=$(lpstat -W completed -o kestrel 2>/dev/null)
for ((j = 0; j < ${#JOBS[@]}; j++)); do
    id=${JOBS[j]}
    grep -q "^$id " <<<"$completed" || fail "${NAMES[j]}: $id not among the completed jobs"
    # A completed job logs this; an aborted or cancelled one does not.
    grep -q "\[Job ${id#kestrel-}\] Job completed\." "$WORK/log/error_log" ||
        fail "${NAMES[j]}: $id did not complete: $(grep "\[Job ${id#kestrel-}\]" "$WORK/log/error_log" | tail -n 3)"
done

# --- each spool file is the whole stream: jobs reach the port in order
name_pattern="^$WORK/spoolfiles/kestrel-[0-9]{14}[0-9](-[0-9]+)?\.ps$"
for ((j = 0; j < ${#SPOOLS[@]} && j < ${#JOBS[@]}; j++)); do
    file=${SPOOLS[j]} what=${NAMES[j]} want=${PAGES[j]}
    [[ $file =~ $name_pattern ]] || fail "$what: spool name $file does not follow the pattern"
    [[ -f $file ]] || {
        fail "$what: $file missing"
        continue
    }
    [[ $(head -c 4 "$file") == '%!PS' ]] || fail "$what: does not start with %!PS"
    # The stream, then the CR LF the capture adds; the stream ends with the
    # last "%%EOF", possibly followed by newlines and Ctrl-D.
    [[ $(tail -c 2 "$file" | od -An -tx1 | tr -d ' \n') == 0d0a ]] || fail "$what: does not end with CR LF"
    tail -c 64 "$file" | head -c -2 | tr -d '\r\n\004' | grep -q '%%EOF$' ||
        fail "$what: the stream does not end with %%EOF (truncated?)"
    eofs=$(grep -c '^%%EOF' "$file")
    pages=$(grep -c '^%%Page:' "$file")
    ((pages == want)) || fail "$what: $pages %%Page comments, expected $want"
    # Ghostscript must render every page of it.
    rendered=$(tr -d '\004' <"$file" | gs -q -dBATCH -dNOPAUSE -dSAFER -sDEVICE=bbox - 2>&1 | grep -c '^%%BoundingBox')
    ((rendered == want)) || fail "$what: Ghostscript renders $rendered pages, expected $want"
    echo "$what: $(stat -c %s "$file") bytes, $pages pages, $eofs %%EOF lines -> $(basename "$file")"
done

# --- a job of two files whose second one takes seconds to filter: CUPS sends
# the first document ("%%EOF" and Ctrl-D at its end) and is then silent on an
# open connection. Meanwhile a second queue on the same port prints: both
# connections are open at once, and both jobs are captured whole.
lpadmin -p kestrel2 -E -v "socket://127.0.0.1:$PORT" -m drv:///sample.drv/generic.ppd >/dev/null 2>&1 ||
    fail "cannot add a second queue"
make_postscript "$DOCS/big.ps" 3000 "Kestrel long"
ps2pdf "$DOCS/big.ps" "$DOCS/big.pdf" || fail "ps2pdf big.ps failed"
make_postscript "$DOCS/meanwhile.ps" 2 "Kestrel meanwhile"
before=$(grep -c . "$WORK/host.out")
# Both are printed at once: the second queue's job connects while the first
# job's connection waits for its PDF to be filtered.
out=$(lp -d kestrel -t long "$DOCS/one.ps" "$DOCS/big.pdf" 2>&1) || fail "lp one.ps big.pdf: $out"
long_id=$(sed -n 's/^request id is \(kestrel-[0-9]*\).*/\1/p' <<<"$out")
out=$(lp -d kestrel2 -t meanwhile "$DOCS/meanwhile.ps" 2>&1) || fail "lp to kestrel2: $out"
meanwhile_id=$(sed -n 's/^request id is \(kestrel2-[0-9]*\).*/\1/p' <<<"$out")
[[ -n $long_id && -n $meanwhile_id ]] || fail "lp gave no request ids"
for ((i = 0; i < 1800; i++)); do
    (($(grep -c . "$WORK/host.out") >= before + 2)) && [[ -z $(lpstat -o 2>/dev/null) ]] && break
    sleep 0.1
done
mapfile -t NEW < <(grep . "$WORK/host.out" | tail -n +$((before + 1)))
((${#NEW[@]} == 2)) || fail "two jobs printed, $((${#NEW[@]})) spool files"
[[ -z $(lpstat -o 2>/dev/null) ]] || fail "jobs still queued or held: $(lpstat -o)"
for id in "$long_id" "$meanwhile_id"; do
    grep -q "\[Job ${id#*-}\] Job completed\." "$WORK/log/error_log" ||
        fail "$id did not complete: $(grep "\[Job ${id#*-}\]" "$WORK/log/error_log" | tail -n 3)"
done
grep -q 'Broken pipe' "$WORK/log/error_log" && fail "CUPS lost the connection: $(grep 'Broken pipe' "$WORK/log/error_log")"
grep -q 'Printer Socket: job connected (2 in progress)' "$WORK/host.err" ||
    fail "the second queue's job did not arrive while the first was open"
meanwhile=$(grep -l '(Kestrel meanwhile page 2) show' "${NEW[@]}" 2>/dev/null | head -n 1)
long=
for file in "${NEW[@]}"; do
    [[ $file != "$meanwhile" ]] && long=$file
done
if [[ -z $meanwhile || -z $long ]]; then
    fail "the two jobs' spool files cannot be told apart: ${NEW[*]}"
else
    # The PDF became PostScript on its way, so its pages are counted, not read.
    for what in "meanwhile:$meanwhile:2" "long:$long:3001"; do
        IFS=: read -r name file want <<<"$what"
        pages=$(grep -c '^%%Page:' "$file")
        ((pages == want)) || fail "$name: $pages %%Page comments, expected $want"
        tail -c 64 "$file" | head -c -2 | tr -d '\r\n\004' | grep -q '%%EOF$' ||
            fail "$name: the stream does not end with %%EOF (truncated?)"
        echo "$name: $(stat -c %s "$file") bytes, $pages pages -> $(basename "$file")"
    done
fi

# --- only a job that ends as a whole document is announced: a PDF printed
# raw arrives as it is, and a PostScript file without a final "%%EOF" comes
# out of the filters with one
printf '%%!PS\n72 720 moveto (Kestrel bare) show\nshowpage\n' >"$DOCS/bare.ps"
first=$(grep -c . "$WORK/host.out")
lp -d kestrel -o raw "$DOCS/three.pdf" >/dev/null 2>&1 || fail "lp -o raw three.pdf failed"
lp -d kestrel "$DOCS/bare.ps" >/dev/null 2>&1 || fail "lp bare.ps failed"
for ((i = 0; i < 1200; i++)); do
    (($(grep -c . "$WORK/host.out") >= first + 2)) && break
    sleep 0.1
done
mapfile -t NEW < <(grep . "$WORK/host.out" | tail -n +$((first + 1)))
if ((${#NEW[@]} != 2)); then
    fail "a raw PDF and a bare PostScript file printed, ${#NEW[@]} spool files: $(grep 'per intero' "$WORK/host.err")"
else
    cmp -s "${NEW[0]}" <(cat "$DOCS/three.pdf" && printf '\r\n') || fail "the raw PDF's spool file differs from it"
    grep -q '(Kestrel bare) show' "${NEW[1]}" || fail "the bare PostScript file's spool file misses its page"
fi

# --- printer descriptions that wrap PostScript in job control (PJL): CUPS
# writes the printer language's exit and "@PJL EOJ" lines after the last
# "%%EOF". Queues made from such descriptions as Debian ships them
# (openprinting-ppds), printing to the capture port, are captured whole.
OPENPRINTING=/usr/lib/cups/driver/openprinting-ppds
declare -A PJL_PPDS=(
    # exit, ready message, EOJ, exit
    [kyocera]=openprinting-ppds:0/ppd/openprinting/Kyocera/de/Kyocera_CS-C3232E_de.ppd
    # exit alone
    [samsung]=openprinting-ppds:0/ppd/openprinting/Samsung/PS/Samsung_C1810_Series.ppd
    # EOJ and a blank, no final exit
    [oki]=openprinting-ppds:0/ppd/openprinting/Oki/OK6100_a.ppd
    # a job control of another kind, after "%%EOF"
    [oce]=openprinting-ppds:0/ppd/openprinting/Oce/Oce-3165PS/1/OC3165_3.ppd
)
if [[ ! -x $OPENPRINTING ]]; then
    fail "$OPENPRINTING is missing (package openprinting-ppds, scripts/setup.sh installs it)"
else
    first=$(grep -c . "$WORK/host.out")
    incomplete_before=$(grep -c 'per intero' "$WORK/host.err")
    declare -a PJL_NAMES=()
    for name in "${!PJL_PPDS[@]}"; do
        "$OPENPRINTING" cat "${PJL_PPDS[$name]}" >"$WORK/$name.ppd" 2>/dev/null && [[ -s $WORK/$name.ppd ]] || {
            fail "$name: no printer description from $OPENPRINTING"
            continue
        }
        lpadmin -p "pjl-$name" -E -v "socket://127.0.0.1:$PORT" -P "$WORK/$name.ppd" >/dev/null 2>&1 || {
            fail "$name: cannot add a queue with its printer description"
            continue
        }
        lp -d "pjl-$name" -t "pjl-$name" "$DOCS/one.ps" >/dev/null 2>&1 || fail "$name: lp one.ps failed"
        PJL_NAMES+=("$name")
    done
    # A PDF goes through other filters on its way to PostScript.
    lp -d pjl-kyocera -t pjl-kyocera-pdf "$DOCS/three.pdf" >/dev/null 2>&1 || fail "kyocera: lp three.pdf failed"
    want=$((${#PJL_NAMES[@]} + 1))
    for ((i = 0; i < 1800; i++)); do
        (($(grep -c . "$WORK/host.out") >= first + want)) && [[ -z $(lpstat -o 2>/dev/null) ]] && break
        sleep 0.1
    done
    mapfile -t NEW < <(grep . "$WORK/host.out" | tail -n +$((first + 1)))
    ((${#NEW[@]} == want)) ||
        fail "$want jobs printed through job-control queues, ${#NEW[@]} spool files: $(grep 'per intero' "$WORK/host.err")"
    (($(grep -c 'per intero' "$WORK/host.err") == incomplete_before)) ||
        fail "a job-control job was called incomplete: $(grep 'per intero' "$WORK/host.err" | tail -n 1)"
    [[ -z $(lpstat -o 2>/dev/null) ]] || fail "jobs still queued or held: $(lpstat -o)"
    for name in "${PJL_NAMES[@]}"; do
        # The job control names the job; the other kind has its own lines.
        mark="pjl-$name"
        [[ $name == oce ]] && mark='%!OCE \*JEC END'
        spool=$(grep -l "(Kestrel single page 1) show" "${NEW[@]}" 2>/dev/null | xargs -r grep -l -a "$mark" | head -n 1)
        [[ -n $spool ]] || {
            fail "$name: no spool file holds its job"
            continue
        }
        tail -c 200 "$spool" | grep -a -q '%%EOF' || fail "$name: the spool file does not end near its %%EOF"
        echo "$name: $(stat -c %s "$spool") bytes, ends with $(tail -c 40 "$spool" | head -c -2 | tr -c '[:print:]' '.')"
    done
    pdf=$(grep -l -a "pjl-kyocera-pdf" "${NEW[@]}" 2>/dev/null | head -n 1)
    if [[ -z $pdf ]]; then
        fail "kyocera: the PDF's spool file is missing"
    else
        pages=$(grep -a -c '^%%Page:' "$pdf")
        ((pages == 3)) || fail "kyocera PDF: $pages %%Page comments, expected 3"
        tail -c 200 "$pdf" | grep -a -q '@PJL EOJ' || fail "kyocera PDF: no PJL end of job at its end"
    fi
fi

# --- a second activation finds the printer and shows no message
stop_pid "$HOST_PID"
HOST_PID=
start_host "$PORT" || fail "the second activation did not listen: $(cat "$WORK/host.err")"
grep -q 'Installo la stampante' "$WORK/host.err" && fail "the second activation announced an installation again"

# --- another capture host finds the port taken: it says that it is not
# listening, retries, and listens once the first one has gone
KESTREL_PRINT_PORT=$PORT TEMP=$WORK/spoolfiles "$SEND" --capture --appliance 127.0.0.1 --printer kestrel --debug \
    >"$WORK/host2.out" 2>"$WORK/host2.err" </dev/null &
HOST2_PID=$!
for ((i = 0; i < 100; i++)); do
    grep -q 'non è in ascolto' "$WORK/host2.err" 2>/dev/null && break
    sleep 0.1
done
grep -q 'non è in ascolto' "$WORK/host2.err" || fail "a host whose port is taken did not say so: $(cat "$WORK/host2.err")"
grep -q 'in attesa di stampe' "$WORK/host2.err" && fail "a host whose port is taken claims to wait for prints"
stop_pid "$HOST_PID"
HOST_PID=
for ((i = 0; i < 400; i++)); do
    grep -q 'in attesa di stampe' "$WORK/host2.err" 2>/dev/null && break
    sleep 0.1
done
grep -q 'in attesa di stampe' "$WORK/host2.err" || fail "the host did not listen once the port was free: $(cat "$WORK/host2.err")"
make_postscript "$DOCS/late.ps" 1 "Kestrel after the port came free"
lp -d kestrel -t late "$DOCS/late.ps" >/dev/null 2>&1 || fail "lp late.ps failed"
for ((i = 0; i < 600; i++)); do
    [[ -s $WORK/host2.out ]] && break
    sleep 0.1
done
late=$(head -n 1 "$WORK/host2.out")
[[ -n $late ]] && grep -q 'Kestrel after the port came free page 1' "$late" ||
    fail "the job printed once the port was free was not captured: $(cat "$WORK/host2.out")"
stop_pid "$HOST2_PID"
HOST2_PID=

if ((FAILED)); then
    echo "FAILED"
    exit 1
fi
echo "PASS: ${#JOBS[@]} jobs captured whole and completed; a two-file job with a pause while a second queue printed; a raw PDF; a taken port retried"
exit 0
