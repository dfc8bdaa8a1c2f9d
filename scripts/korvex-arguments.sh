# Sourced by scripts/run and scripts/demo, which start korvex from another
# folder than the caller's: a relative picture path given with --screenshot
# would otherwise land there.
#   absolute_korvex_arguments ARG...   fills the array korvex_arguments
absolute_korvex_arguments() {
  korvex_arguments=()
  local argument expect_file=0
  for argument in "$@"; do
    if [ "$expect_file" -eq 1 ]; then
      case "$argument" in /*|"") ;; *) argument=$PWD/$argument ;; esac
      expect_file=0
    else
      case "$argument" in
        --screenshot) expect_file=1 ;;
        --screenshot=/*|--screenshot=) ;;
        --screenshot=*) argument=--screenshot=$PWD/${argument#*=} ;;
      esac
    fi
    korvex_arguments+=("$argument")
  done
}
