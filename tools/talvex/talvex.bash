# bash completion for talvex: commands, options, and method names from the host's type library.

# The method names, asked of the host being completed once per shell.
_talvex_method_names() {
  if [[ -z ${_talvex_methods-} ]]; then
    _talvex_methods=$("$1" methods 2>/dev/null |
      sed -n 's/^0x[0-9A-F]* *[a-z]* *\(Function\|Sub\) \([A-Za-z0-9_]*\)(.*/\2/p')
  fi
  printf '%s\n' "$_talvex_methods"
}

_talvex() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local host=${COMP_WORDS[0]} words=""
  COMPREPLY=()
  if ((COMP_CWORD == 1)); then
    words="session call methods --help --version"
  else
    case ${COMP_WORDS[1]} in
      session)
        case $prev in
          --trace | --max-line | --max-depth) return ;;  # a file name, a number
        esac
        words="--max-line --max-depth --trace" ;;
      methods)
        ((COMP_CWORD == 2)) && words="--json $(_talvex_method_names "$host")" ;;
      call)
        # The method comes after the options; the arguments after it may be file names.
        local i=2
        while ((i < COMP_CWORD)) && [[ ${COMP_WORDS[i]} == -* ]]; do ((i++)); done
        ((COMP_CWORD == i)) && words="--quiet $(_talvex_method_names "$host")" ;;
    esac
  fi
  [[ -n $words ]] && mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
  return 0
}
complete -o default -F _talvex talvex
