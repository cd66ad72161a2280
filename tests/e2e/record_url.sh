#!/bin/sh
# Stands in for the web browser: writes down the address it was asked to open.
printf '%s\n' "$1" >>"$0.log"
