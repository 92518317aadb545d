# The live sessions' PIDs, read without a JSON tool: "pid": with unescaped quotes can only be a
# key, never text inside a string.
function __fernbeacon_pids
    command fernbeacon list --json 2>/dev/null | string match -ra '"pid": *\d+' | string match -r '\d+$'
end

set -l commands list focus open watch menu help
set -l first "not __fish_seen_subcommand_from $commands"

complete -c fernbeacon -f
complete -c fernbeacon -n $first -a list -d 'Print the running sessions and the recent ones'
complete -c fernbeacon -n $first -a focus -d 'Bring the terminal tab of a session to the front'
complete -c fernbeacon -n $first -a open -d 'Open a terminal tab that runs claude in a directory'
complete -c fernbeacon -n $first -a watch -d 'Print a line whenever the sessions change'
complete -c fernbeacon -n $first -a menu -d 'Pop the menu up at the pointer, without a tray'
complete -c fernbeacon -n $first -a help -d 'Show the help of a command'
complete -c fernbeacon -n $first -l version -d 'Show the version'
complete -c fernbeacon -s h -l help -d 'Show the help'

complete -c fernbeacon -n '__fish_seen_subcommand_from list' -l json -d 'Print one JSON object'
complete -c fernbeacon -n '__fish_seen_subcommand_from list' -l probes -xa 'proc tools' \
    -d 'Where to learn about processes'
complete -c fernbeacon -n '__fish_seen_subcommand_from watch' -l json \
    -d 'Print the list --json object'
complete -c fernbeacon -n '__fish_seen_subcommand_from watch' -l waybar \
    -d 'Print a Waybar custom-module object'
complete -c fernbeacon -n '__fish_seen_subcommand_from list focus open watch menu' -s v -l verbose \
    -d 'Log each step to standard error'
complete -c fernbeacon -n '__fish_seen_subcommand_from focus' -xa '(__fernbeacon_pids)'
complete -c fernbeacon -n '__fish_seen_subcommand_from open' -xa '(__fish_complete_directories)'
complete -c fernbeacon -n '__fish_seen_subcommand_from help' -xa 'tray list focus open watch menu'
